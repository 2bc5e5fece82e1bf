pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic

// The small indeterminate spinner of the scan button and of a card whose kill is running.
BusyIndicator {
    id: root

    required property color tint

    implicitWidth: 16
    implicitHeight: 16
    padding: 0
    running: visible

    // Eight spokes fading behind a bright head. Unlike the stock indicator it does not fade in,
    // so it shows from the first frame: a scan often ends before a fade-in would.
    contentItem: Item {
        Repeater {
            // No spokes while hidden: every result card has a spinner, which seldom shows.
            model: root.running ? 8 : 0

            // One spoke: a full-size item turned about the centre, its bar at the top.
            Item {
                required property int index

                anchors.fill: parent
                rotation: index * 45
                opacity: 1 - ((8 - index) % 8) * 0.11

                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 2
                    height: parent.height * 0.3
                    radius: 1
                    color: root.tint
                }
            }
        }
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: root.running
        }
    }
}

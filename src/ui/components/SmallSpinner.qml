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

    // The head moves a spoke at a time, as often as a spoke's worth of a 0.9 s turn: a continuous
    // turn would redraw the window every frame, while lsof competes for the same CPU.
    property int step: 0

    Timer {
        interval: 900 / 8
        repeat: true
        running: root.running
        onTriggered: root.step = (root.step + 1) % 8
    }

    // Eight spokes fading behind a bright head. Unlike the stock indicator it does not fade in,
    // so it shows from the first frame: a scan often ends before a fade-in would.
    contentItem: Item {
        rotation: root.step * 45

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
    }
}

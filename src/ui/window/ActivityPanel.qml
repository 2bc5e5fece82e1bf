pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// The newest activity lines with their time stamps, newest on top.
Item {
    id: root

    required property InspectorState inspector
    // Points given up to the port panel while its validation line shows: the window cannot grow.
    property real squeeze: 0

    implicitWidth: 306
    implicitHeight: 190 - squeeze

    PanelBackground {
        anchors.fill: parent
    }

    // Padded 18 all round, then centred in the fixed height.
    ColumnLayout {
        id: column

        anchors.centerIn: parent
        width: parent.width - 36
        spacing: 14

        SectionHeader {
            Layout.fillWidth: true
            title: "Activity"
            caption: "Recent actions"
        }

        // No scroll bars: the list is short and flicks or wheels like any other, or scrolls by
        // keys once Tab reaches it. The newest entry arrives on top, in sight unless the user
        // scrolled down to older ones: then a cue says so rather than moving the lines being read.
        Flickable {
            id: scroll

            property bool unseenEntry: false

            function scrollTo(y: real) {
                contentY = Math.max(0, Math.min(y, contentHeight - height));
            }

            objectName: "activityScroll"
            Layout.fillWidth: true
            Layout.preferredHeight: 116 - root.squeeze
            Layout.maximumHeight: 116 - root.squeeze
            Layout.minimumHeight: 116 - root.squeeze
            clip: true
            contentWidth: width
            contentHeight: rows.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            onContentYChanged: {
                if (atYBeginning)
                    unseenEntry = false;
            }
            Keys.onPressed: event => {
                const line = 22;
                const moves = {
                    [Qt.Key_Up]: contentY - line,
                    [Qt.Key_Down]: contentY + line,
                    [Qt.Key_PageUp]: contentY - height + line,
                    [Qt.Key_PageDown]: contentY + height - line,
                    [Qt.Key_Home]: 0,
                    [Qt.Key_End]: contentHeight
                };
                if (event.key in moves) {
                    scrollTo(moves[event.key]);
                    event.accepted = true;
                }
            }
            // One list for assistive technologies, read newest first like the screen.
            Accessible.role: Accessible.List
            Accessible.name: "Activity"

            Connections {
                function onActivityEntriesChanged() {
                    scroll.unseenEntry = !scroll.atYBeginning;
                }

                target: root.inspector
            }

            Column {
                id: rows
                width: parent.width
                spacing: 10

                Repeater {
                    // A new line adds one row and drops the oldest; the others stay built.
                    model: root.inspector.activityLog

                    Item {
                        id: row
                        objectName: "activityRow"
                        required property string timeText
                        required property string message

                        width: rows.width
                        implicitHeight: Math.max(messageText.y + messageText.implicitHeight, stamp.y + stamp.implicitHeight)
                        Accessible.role: Accessible.ListItem
                        Accessible.name: row.timeText + " " + row.message

                        PlainText {
                            id: stamp
                            objectName: "activityTime"
                            width: 60
                            // Aligned on the first baseline of the message.
                            y: messageText.baselineOffset - baselineOffset
                            text: row.timeText
                            monospaced: true
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            color: Kit.Palette.textMuted
                            Accessible.ignored: true
                        }
                        PlainText {
                            id: messageText
                            objectName: "activityMessage"
                            x: 70
                            width: row.width - 70
                            text: TextExcerpt.line(row.message)
                            font.pixelSize: 12
                            font.weight: Font.Medium
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            Accessible.ignored: true
                        }
                    }
                }
            }

            // Around the lines, outside the clip, where it covers none of them.
            FocusRing {
                objectName: "logFocusRing"
                parent: root
                x: column.x + scroll.x - 8
                y: column.y + scroll.y - 6
                width: scroll.width + 16
                height: scroll.height + 12
                shown: scroll.activeFocus
            }
            EdgeFade {
                parent: scroll
                width: scroll.width
                atTop: true
                shown: !scroll.atYBeginning
            }
            EdgeFade {
                parent: scroll
                y: scroll.height - height
                width: scroll.width
                shown: !scroll.atYEnd
            }
            AbstractButton {
                id: newCue

                objectName: "activityNewCue"
                parent: scroll
                x: scroll.width - width
                y: 2
                visible: scroll.unseenEntry
                text: "new"
                padding: 3
                leftPadding: 8
                rightPadding: 8
                // Hides itself once the newest entry is in sight: the list takes its focus.
                onClicked: {
                    if (newCue.activeFocus)
                        scroll.forceActiveFocus(newCue.visualFocus ? Qt.TabFocusReason : Qt.MouseFocusReason);
                    scroll.contentY = 0;
                }
                Accessible.role: Accessible.Button
                Accessible.name: "Show the newest entry"

                contentItem: PlainText {
                    text: newCue.text
                    font.pixelSize: 11
                    font.weight: Font.Bold
                    color: Kit.Palette.canvasBottom
                    Accessible.ignored: true
                }
                background: Rectangle {
                    radius: height / 2
                    color: Kit.Palette.accentCyan

                    FocusRing {
                        anchors.fill: parent
                        shapeRadius: height / 2
                        shown: newCue.visualFocus
                    }
                }
            }
        }
    }
}

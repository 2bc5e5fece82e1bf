pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Quaymeter
import Quaymeter as Kit

// The newest activity lines with their time stamps, newest on top.
Item {
    id: root

    required property InspectorState inspector

    implicitWidth: 306
    implicitHeight: 190

    PanelBackground {
        anchors.fill: parent
    }

    // Padded 18 all round, then centred in the fixed height.
    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 36
        spacing: 14

        SectionHeader {
            Layout.fillWidth: true
            title: "Activity"
            caption: "Recent actions"
        }

        // No scroll bars: the list is short and flicks or wheels like any other. The newest
        // entry arrives on top, in sight unless the user scrolled down to older ones: then a cue
        // says so rather than moving the lines being read.
        Flickable {
            id: scroll

            property bool unseenEntry: false

            objectName: "activityScroll"
            Layout.fillWidth: true
            Layout.preferredHeight: 116
            Layout.maximumHeight: 116
            Layout.minimumHeight: 116
            clip: true
            contentWidth: width
            contentHeight: rows.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            onContentYChanged: {
                if (atYBeginning)
                    unseenEntry = false;
            }

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
                // One list for assistive technologies, read newest first like the screen.
                Accessible.role: Accessible.List
                Accessible.name: "Activity"

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

                        Text {
                            id: stamp
                            objectName: "activityTime"
                            width: 60
                            // Aligned on the first baseline of the message.
                            y: messageText.baselineOffset - baselineOffset
                            text: row.timeText
                            textFormat: Text.PlainText
                            font.family: Fonts.mono
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            color: Kit.Palette.textMuted
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }
                        Text {
                            id: messageText
                            objectName: "activityMessage"
                            x: 70
                            width: row.width - 70
                            text: TextExcerpt.line(row.message)
                            textFormat: Text.PlainText
                            font.family: Fonts.system
                            font.pixelSize: 12
                            font.weight: Font.Medium
                            color: Kit.Palette.textSecondary
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }
                    }
                }
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
                onClicked: scroll.contentY = 0
                Accessible.role: Accessible.Button
                Accessible.name: "Show the newest entry"

                contentItem: Text {
                    text: newCue.text
                    textFormat: Text.PlainText
                    font.family: Fonts.system
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

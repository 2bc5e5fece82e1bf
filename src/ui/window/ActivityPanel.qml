pragma ComponentBehavior: Bound
import QtQuick
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

        // No scroll bars: the list is short and flicks or wheels like any other.
        Flickable {
            objectName: "activityScroll"
            Layout.fillWidth: true
            Layout.preferredHeight: 116
            Layout.maximumHeight: 116
            Layout.minimumHeight: 116
            clip: true
            contentWidth: width
            contentHeight: rows.implicitHeight
            boundsBehavior: Flickable.StopAtBounds

            Column {
                id: rows
                width: parent.width
                spacing: 10
                // One list for assistive technologies, read newest first like the screen.
                Accessible.role: Accessible.List
                Accessible.name: "Activity"

                Repeater {
                    model: root.inspector.activityEntries

                    Item {
                        id: row
                        objectName: "activityRow"
                        required property var modelData

                        width: rows.width
                        implicitHeight: Math.max(message.y + message.implicitHeight, stamp.y + stamp.implicitHeight)

                        Text {
                            id: stamp
                            objectName: "activityTime"
                            width: 60
                            // Aligned on the first baseline of the message.
                            y: message.baselineOffset - baselineOffset
                            text: row.modelData.timeText
                            textFormat: Text.PlainText
                            font.family: Fonts.mono
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            color: Kit.Palette.textMuted
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }
                        Text {
                            id: message
                            objectName: "activityMessage"
                            x: 70
                            width: row.width - 70
                            text: TextExcerpt.line(row.modelData.message)
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
        }
    }
}

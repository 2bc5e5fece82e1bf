import QtQuick
import Quaymeter
import Quaymeter as Kit

// The header's pill naming the inspector's status in the status colour.
Rectangle {
    id: root

    required property int status

    readonly property var look: StatusLooks.of(status)
    readonly property color statusColor: look.colour

    implicitWidth: row.implicitWidth + 20
    implicitHeight: row.implicitHeight + 14
    radius: height / 2
    color: Kit.Palette.withOpacity(statusColor, 0.10)
    border.color: Kit.Palette.withOpacity(statusColor, 0.35)
    border.width: 1

    Row {
        id: row

        x: 10
        y: 7
        spacing: 7

        Item {
            anchors.verticalCenter: parent.verticalCenter
            width: 7
            height: 7

            Shadow {
                anchors.fill: parent
                shape: Shadow.Circle
                color: Kit.Palette.withOpacity(root.statusColor, 0.75)
                blurRadius: 6
            }
            Rectangle {
                objectName: "statusBadgeDot"
                anchors.fill: parent
                radius: width / 2
                color: root.statusColor
            }
        }
        PlainText {
            objectName: "statusBadgeLabel"
            text: root.look.label.toUpperCase()
            monospaced: true
            font.pixelSize: 11
            font.weight: Font.Bold
            font.letterSpacing: 0.8
            color: root.statusColor
        }
    }
}

import QtQuick
import QtQuick.Layouts
import Quaymeter
import Quaymeter as Kit

RowLayout {
    id: root

    required property string title
    required property string caption

    PlainText {
        objectName: "sectionTitle"
        Layout.alignment: Qt.AlignBaseline
        // Takes the free width, which pushes the caption to the trailing edge.
        Layout.fillWidth: true
        text: root.title.toUpperCase()
        monospaced: true
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.letterSpacing: 1.2
        color: Kit.Palette.textPrimary
    }
    PlainText {
        objectName: "sectionCaption"
        Layout.alignment: Qt.AlignBaseline
        text: root.caption
        monospaced: true
        font.pixelSize: 11
        font.weight: Font.Medium
        color: Kit.Palette.textMuted
    }
}

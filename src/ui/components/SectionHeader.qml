import QtQuick
import QtQuick.Layouts
import Quaymeter
import Quaymeter as Kit

RowLayout {
    id: root

    required property string title
    required property string caption

    Text {
        objectName: "sectionTitle"
        Layout.alignment: Qt.AlignBaseline
        // Takes the free width, which pushes the caption to the trailing edge.
        Layout.fillWidth: true
        text: root.title.toUpperCase()
        textFormat: Text.PlainText
        font.family: Fonts.mono
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.letterSpacing: 1.2
        color: Kit.Palette.textPrimary
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    Text {
        objectName: "sectionCaption"
        Layout.alignment: Qt.AlignBaseline
        text: root.caption
        textFormat: Text.PlainText
        font.family: Fonts.mono
        font.pixelSize: 11
        font.weight: Font.Medium
        color: Kit.Palette.textMuted
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}

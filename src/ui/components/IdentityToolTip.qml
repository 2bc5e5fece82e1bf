import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// Who a listener is, one "Label: value" line per field the user may read, shown below the
// card's command name.
ToolTip {
    id: root

    required property string summary

    text: summary
    x: 0
    y: parent ? parent.height + 6 : 0
    width: Math.min(implicitWidth, 460)
    margins: 8
    padding: 10
    delay: 400

    contentItem: Text {
        objectName: "identityText"
        text: root.text
        textFormat: Text.PlainText
        font.family: Fonts.mono
        font.pixelSize: 11
        font.weight: Font.Medium
        color: Kit.Palette.textSecondary
        lineHeight: 1.2
        wrapMode: Text.WrapAnywhere
        // A Java class path would fill the window; the whole text stays in the card's description.
        maximumLineCount: 14
        elide: Text.ElideRight
    }
    background: Rectangle {
        radius: 8
        color: Kit.Palette.surfaceRaised
        border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.5)
        border.width: 1
    }
}

import QtQuick
import Quaymeter
import Quaymeter as Kit

// The right cell of a card's details grid: selectable, so a PID or an lsof line can be copied,
// and cut after two lines.
Item {
    id: root

    required property string text
    property bool highlight: false

    implicitHeight: Math.min(value.implicitHeight, Math.ceil(twoLines.lineSpacing * 2))
    clip: true

    FontMetrics {
        id: twoLines
        font: value.font
    }
    TextEdit {
        id: value
        objectName: "detailValueText"
        width: root.width
        text: TextExcerpt.line(root.text)
        textFormat: TextEdit.PlainText
        readOnly: true
        selectByMouse: true
        wrapMode: TextEdit.Wrap
        font.family: Fonts.mono
        font.pixelSize: root.highlight ? 14 : 12
        font.weight: root.highlight ? Font.Bold : Font.Medium
        color: root.highlight ? Kit.Palette.accentMint : Kit.Palette.textSecondary
        selectionColor: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
        selectedTextColor: Kit.Palette.textPrimary
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}

import QtQuick
import Quaymeter
import Quaymeter as Kit

// The left cell of a card's details grid; the card passes its labels already upper-cased.
Text {
    id: root

    textFormat: Text.PlainText
    font.family: Fonts.mono
    font.pixelSize: 11
    font.weight: Font.Bold
    font.letterSpacing: 0.9
    color: Kit.Palette.textMuted
    Accessible.role: Accessible.StaticText
    Accessible.name: text
    Accessible.ignored: !root.visible
}

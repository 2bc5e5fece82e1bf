import QtQuick
import Quaymeter
import Quaymeter as Kit

// The left cell of a card's details grid; the card passes its labels already upper-cased.
PlainText {
    id: root

    monospaced: true
    font.pixelSize: 11
    font.weight: Font.Bold
    font.letterSpacing: 0.9
    color: Kit.Palette.textMuted
    Accessible.ignored: !root.visible
}

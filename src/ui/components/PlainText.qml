import QtQuick
import Quaymeter
import Quaymeter as Kit

// The window's text: plain, as a process's name or a tool's message may hold what reads as
// markup; in the window's face, or its fixed one; and heard by a screen reader as what it says.
Text {
    id: root

    property bool monospaced: false

    textFormat: Text.PlainText
    font.family: monospaced ? Fonts.mono : Fonts.system
    color: Kit.Palette.textSecondary
    Accessible.role: Accessible.StaticText
    Accessible.name: root.text
}

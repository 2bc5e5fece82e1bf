import QtQuick
import Quaymeter

// A named symbol drawn as a glyph, so it takes a colour and a font size like text.
Text {
    id: root

    required property string name
    property real size: 13
    property int weight: Font.Normal

    text: Symbols.glyph(name)
    font.family: Fonts.symbols
    font.pixelSize: size
    font.weight: weight
    Accessible.ignored: true
}

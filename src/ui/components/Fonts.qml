pragma Singleton
import QtQuick

// The faces of the window: Inter and JetBrains Mono when installed, else the desktop's
// default and fixed fonts; the symbols come from the Material Icons font.
QtObject {
    readonly property var installed: Qt.fontFamilies()
    readonly property string system: installed.indexOf("Inter") >= 0 ? "Inter" : "sans-serif"
    readonly property string mono: installed.indexOf("JetBrains Mono") >= 0 ? "JetBrains Mono" : "monospace"
    readonly property string symbols: "Material Icons"
}

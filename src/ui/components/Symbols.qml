pragma Singleton
import QtQuick

// The symbol names the views use, mapped onto Material Icons codepoints.
QtObject {
    readonly property var codepoints: ({
            "dot.radiowaves.left.and.right": 0xE51E,
            "scope": 0xE8E1,
            "waveform.path.ecg": 0xEAA2,
            "checkmark.circle": 0xE92D,
            "bolt.horizontal.circle": 0xE932,
            "exclamationmark.triangle": 0xF083,
            "checkmark.seal": 0xEF76,
            "terminal": 0xEB8E,
            "arrow.up.right": 0xF1E1
        })

    function glyph(name: string): string {
        const codepoint = codepoints[name];
        return codepoint === undefined ? "" : String.fromCodePoint(codepoint);
    }
}

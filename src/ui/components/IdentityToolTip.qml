import QtQuick
import Quaymeter
import Quaymeter as Kit

// Who a listener is, one "Label: value" line per field the user may read, shown below the
// card's command name.
TextToolTip {
    required property string summary

    text: summary
    x: 0
    y: parent ? parent.height + 6 : 0
    widest: 460
    margins: 8
    padding: 10
    monospaced: true
    textSize: 11
    textColor: Kit.Palette.textSecondary
    // A Java class path would fill the window; the whole text stays in the card's description.
    maximumLineCount: 14
}

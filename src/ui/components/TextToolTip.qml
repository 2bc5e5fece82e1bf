import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// The window's one tooltip: a text on a raised panel, wrapped to at most `widest` points.
ToolTip {
    id: root

    property bool monospaced: false
    property int textSize: 12
    property color textColor: Kit.Palette.textPrimary
    property real widest: 360
    property int maximumLineCount: 40

    width: Math.min(implicitWidth, widest)
    delay: 400

    contentItem: PlainText {
        objectName: "toolTipText"
        text: root.text
        wrapMode: root.monospaced ? Text.WrapAnywhere : Text.Wrap
        maximumLineCount: root.maximumLineCount
        elide: Text.ElideRight
        monospaced: root.monospaced
        font.pixelSize: root.textSize
        font.weight: Font.Medium
        color: root.textColor
        Accessible.ignored: true
    }
    background: Rectangle {
        radius: 6
        color: Kit.Palette.surfaceRaised
        border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.5)
        border.width: 1
    }
}

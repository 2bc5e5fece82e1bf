pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// The right cell of a card's details grid, cut after two lines with an ellipsis. The whole value
// shows on hover and is what a screen reader hears; a click selects it all and Ctrl+C copies it,
// so a PID or an lsof line can be pasted elsewhere.
Item {
    id: root

    required property string text
    property bool highlight: false

    implicitHeight: value.implicitHeight
    Accessible.role: Accessible.StaticText
    Accessible.name: root.text
    Keys.onPressed: event => {
        if (event.matches(StandardKey.Copy)) {
            Clipboard.setText(root.text);
            event.accepted = true;
        } else if (event.matches(StandardKey.SelectAll)) {
            event.accepted = true;
        }
    }

    TapHandler {
        onTapped: root.forceActiveFocus(Qt.MouseFocusReason)
    }
    HoverHandler {
        id: hover
    }
    // Everything is selected while the value has focus: a copy takes the whole value.
    Rectangle {
        objectName: "detailValueSelection"
        visible: root.activeFocus
        width: value.contentWidth
        height: value.contentHeight
        radius: 2
        color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
    }
    Text {
        id: value
        objectName: "detailValueText"
        width: root.width
        text: TextExcerpt.line(root.text)
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight
        font.family: Fonts.mono
        font.pixelSize: root.highlight ? 14 : 12
        font.weight: root.highlight ? Font.Bold : Font.Medium
        color: root.activeFocus ? Kit.Palette.textPrimary : root.highlight ? Kit.Palette.accentMint : Kit.Palette.textSecondary
        Accessible.ignored: true
    }
    // Built on hover only: a card has four of these and cards are built while scrolling.
    Loader {
        anchors.fill: parent
        active: hover.hovered && value.truncated

        sourceComponent: Item {
            ToolTip {
                objectName: "detailToolTip"
                visible: true
                delay: 400
                width: Math.min(implicitWidth, 420)
                text: root.text

                contentItem: Text {
                    text: TextExcerpt.line(root.text)
                    textFormat: Text.PlainText
                    wrapMode: Text.WrapAnywhere
                    font.family: Fonts.mono
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: Kit.Palette.textPrimary
                    Accessible.ignored: true
                }
                background: Rectangle {
                    radius: 6
                    color: Kit.Palette.surfaceRaised
                    border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.5)
                    border.width: 1
                }
            }
        }
    }
}

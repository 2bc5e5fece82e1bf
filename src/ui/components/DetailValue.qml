pragma ComponentBehavior: Bound

import QtQuick
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
    Accessible.ignored: !root.visible
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
    PlainText {
        id: value
        objectName: "detailValueText"
        width: root.width
        text: TextExcerpt.line(root.text)
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight
        monospaced: true
        font.pixelSize: root.highlight ? 14 : 12
        font.weight: root.highlight ? Font.Bold : Font.Medium
        color: root.activeFocus ? Kit.Palette.textPrimary : root.highlight ? Kit.Palette.accentMint : Kit.Palette.textSecondary
        Accessible.ignored: true
    }
    // Built on first hover only: a card has four of these and cards are built while scrolling.
    property TextToolTip toolTip: null
    readonly property bool toolTipWanted: hover.hovered && value.truncated

    onToolTipWantedChanged: {
        if (toolTipWanted && toolTip === null)
            toolTip = Parts.build(toolTipComponent, root) as TextToolTip;
    }

    Component {
        id: toolTipComponent

        TextToolTip {
            objectName: "detailToolTip"
            visible: root.toolTipWanted
            widest: 420
            monospaced: true
            text: TextExcerpt.line(root.text)
        }
    }
}

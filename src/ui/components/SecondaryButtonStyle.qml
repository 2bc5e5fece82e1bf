import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// A quieter button in one accent: a faint tint with accent text, or a solid accent block.
Button {
    id: root

    required property color accent
    required property bool filled
    // What Return presses in an alert: drawn with a stronger outline.
    property bool isDefault: false

    font.family: Fonts.system
    font.pixelSize: 12
    font.weight: Font.Bold
    topPadding: 9
    bottomPadding: 9
    leftPadding: 12
    rightPadding: 12
    // Dimmed like the desktop's own disabled buttons, so a busy card does not look pressable;
    // faded as one layer, and less than the bright Scan button, so the accent label stays legible.
    opacity: enabled ? 1 : 0.78
    layer.enabled: !enabled
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        objectName: "buttonLabel"
        text: root.text
        font: root.font
        color: root.filled ? Kit.Palette.canvasBottom : root.accent
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }
    background: Rectangle {
        objectName: "buttonFill"
        radius: 8
        color: Kit.Palette.withOpacity(root.accent, root.filled ? (root.pressed ? 0.74 : 0.95) : (root.pressed ? 0.18 : 0.08))
        border.color: Kit.Palette.withOpacity(root.accent, root.isDefault ? 1 : 0.46)
        border.width: root.isDefault ? 2 : 1

        FocusRing {
            anchors.fill: parent
            shown: root.visualFocus
        }
    }

    Accessible.name: text
    // A hidden button is no button to an assistive technology either.
    Accessible.ignored: !root.visible
    // Qt 6.4 reports no disabled state to assistive technologies and runs this handler even
    // while the button is disabled: say so, and refuse the press.
    Accessible.description: enabled ? "" : "Unavailable"
    Accessible.onPressAction: {
        if (root.enabled)
            root.clicked();
    }
}

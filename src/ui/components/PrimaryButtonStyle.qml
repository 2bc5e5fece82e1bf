import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// The bright call to action: dark label on a cyan block with a cyan glow.
Button {
    id: root

    font.family: Fonts.system
    font.pixelSize: 13
    font.weight: Font.Bold
    topPadding: 13
    bottomPadding: 13
    leftPadding: 16
    rightPadding: 16
    // Dimmed like the desktop's own disabled buttons, so a disabled scan does not look pressable;
    // faded as one layer, or the label would fade over an already faded fill and be lost.
    opacity: enabled ? 1 : 0.45
    layer.enabled: !enabled

    contentItem: Text {
        text: root.text
        font: root.font
        color: Kit.Palette.canvasBottom
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        Accessible.ignored: true
    }
    background: Item {
        Shadow {
            anchors.fill: parent
            shape: Shadow.RoundedRect
            radius: 8
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, root.pressed ? 0.18 : 0.36)
            blurRadius: 12
        }
        Rectangle {
            objectName: "buttonFill"
            anchors.fill: parent
            radius: 8
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, root.pressed ? 0.78 : 1.0)
        }
        FocusRing {
            anchors.fill: parent
            shown: root.visualFocus
        }
    }

    Accessible.name: text
    // Qt 6.4 reports no disabled state to assistive technologies and runs this handler even
    // while the button is disabled: say so, and refuse the press.
    Accessible.description: enabled ? "" : "Unavailable"
    Accessible.onPressAction: {
        if (root.enabled)
            root.clicked();
    }
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// One of the round window buttons drawn where a title bar would hold them.
AbstractButton {
    id: root

    required property color tint
    required property string glyph

    implicitWidth: 12
    implicitHeight: 12
    hoverEnabled: true
    Accessible.role: Accessible.Button
    Accessible.name: text
    // Runs even while the button is disabled.
    Accessible.onPressAction: {
        if (root.enabled)
            root.clicked();
    }

    background: Rectangle {
        radius: width / 2
        color: Kit.Palette.withOpacity(root.tint, root.pressed ? 0.6 : 0.85)
        border.color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.4)
        border.width: 1

        FocusRing {
            anchors.fill: parent
            shapeRadius: width / 2
            shown: root.visualFocus
        }
    }
    // Made when first hovered: nothing else shows it, and its heavy face is a font file of its own
    // to open at start.
    property Text hoverGlyph: null

    onHoveredChanged: {
        if (root.hovered && root.hoverGlyph === null)
            root.hoverGlyph = Parts.build(glyphComponent, root.contentItem) as Text;
    }

    contentItem: Item {}
    Component {
        id: glyphComponent

        PlainText {
            anchors.fill: parent
            visible: root.hovered
            text: root.glyph
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 10
            font.weight: Font.Black
            color: Kit.Palette.canvasBottom
            Accessible.ignored: true
        }
    }
}

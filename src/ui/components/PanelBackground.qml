import QtQuick
import Quaymeter
import Quaymeter as Kit

// The rounded panel behind every block of the window; fills whatever it is given.
Item {
    id: root

    Shadow {
        anchors.fill: parent
        shape: Shadow.RoundedRect
        radius: 8
        color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.09)
        blurRadius: 24
        offsetY: 10
    }
    // A translucent fill stands in for the frosted material.
    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Kit.Palette.panelFill
        border.color: Kit.Palette.panelEdge
        border.width: 1
    }
}

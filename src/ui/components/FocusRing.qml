import QtQuick
import Quaymeter as Kit

// Shows where keyboard focus is: a cyan ring just outside a control, following its corners.
// Fill the control's background with it and set `shown` from the control's keyboard focus only,
// so a click never leaves a ring behind.
Rectangle {
    id: root

    required property bool shown
    // The corner radius of the shape it surrounds.
    property real shapeRadius: 8

    objectName: "focusRing"
    visible: shown
    anchors.margins: -3
    radius: shapeRadius + 3
    color: "transparent"
    border.color: Kit.Palette.accentCyan
    border.width: 2
}

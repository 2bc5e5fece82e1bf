import QtQuick
import Quaymeter as Kit

// A soft fade over one edge of a scrolled area, shown while more content lies past that edge, so
// a card cut mid-button reads as "more below" rather than as a broken layout.
Rectangle {
    id: root

    required property bool shown
    property bool atTop: false

    visible: shown
    height: 28
    gradient: Gradient {
        GradientStop {
            position: 0
            color: root.atTop ? Kit.Palette.surface : "transparent"
        }
        GradientStop {
            position: 1
            color: root.atTop ? "transparent" : Kit.Palette.surface
        }
    }
}

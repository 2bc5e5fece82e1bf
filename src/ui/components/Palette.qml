pragma Singleton
import QtQuick

// The thirteen colours every view draws with (sRGB).
QtObject {
    readonly property color canvasTop: Qt.rgba(0.015, 0.026, 0.052, 1)
    readonly property color canvasBottom: Qt.rgba(0.003, 0.007, 0.016, 1)
    readonly property color surface: Qt.rgba(0.025, 0.045, 0.075, 1)
    readonly property color surfaceRaised: Qt.rgba(0.035, 0.065, 0.105, 1)
    readonly property color steelTeal: Qt.rgba(0.16, 0.38, 0.50, 1)
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.08)
    readonly property color textPrimary: Qt.rgba(0.90, 0.97, 1.00, 1)
    readonly property color textSecondary: Qt.rgba(0.58, 0.70, 0.78, 1)
    readonly property color textMuted: Qt.rgba(0.34, 0.45, 0.55, 1)
    readonly property color accentCyan: Qt.rgba(0.24, 0.92, 1.00, 1)
    readonly property color accentMint: Qt.rgba(0.48, 1.00, 0.93, 1)
    readonly property color accentViolet: Qt.rgba(0.47, 0.42, 1.00, 1)
    readonly property color accentPink: Qt.rgba(1.00, 0.36, 0.58, 1)

    // A panel's two layers, a translucent raised fill under a more opaque surface, worked out
    // once: the window then blends one layer where it drew two, on every redraw.
    readonly property color panelFill: over(withOpacity(surface, 0.76), withOpacity(surfaceRaised, 0.28))
    readonly property color panelEdge: over(withOpacity(steelTeal, 0.32), withOpacity(surfaceRaised, 0.28))

    // A palette colour with an opacity laid over its own.
    function withOpacity(colour: color, opacity: real): color {
        return Qt.rgba(colour.r, colour.g, colour.b, colour.a * opacity);
    }
    // What `top` drawn over `bottom` leaves, as one colour.
    function over(top: color, bottom: color): color {
        const alpha = top.a + bottom.a * (1 - top.a);
        const mix = (t, b) => (t * top.a + b * bottom.a * (1 - top.a)) / alpha;
        return Qt.rgba(mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), alpha);
    }
}

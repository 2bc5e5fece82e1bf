pragma ComponentBehavior: Bound
import QtQuick
import Quaymeter
import Quaymeter as Kit

// The drawn emblem: four linked nodes and a prompt on a glowing tile. Fills what it is given;
// only strokes, nodes, glyph, corners and inset keep their size.
Item {
    id: root

    Shadow {
        anchors.fill: parent
        shape: Shadow.RoundedRect
        radius: 8
        color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.32)
        blurRadius: 18
    }
    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Kit.Palette.surfaceRaised
        border.color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.42)
        border.width: 1
    }
    Item {
        id: drawing

        readonly property list<point> nodes: [Qt.point(0.28 * width, 0.36 * height), Qt.point(0.66 * width, 0.28 * height), Qt.point(0.74 * width, 0.68 * height), Qt.point(0.34 * width, 0.72 * height)]

        objectName: "networkIconDrawing"
        anchors.fill: parent
        anchors.margins: 9

        PolygonStroke {
            anchors.fill: parent
            points: drawing.nodes
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.78)
            lineWidth: 1.5
        }
        Repeater {
            model: 4

            Item {
                id: node

                required property int index

                objectName: "networkIconNode" + index
                x: drawing.nodes[index].x - 4
                y: drawing.nodes[index].y - 4
                width: 8
                height: 8

                Shadow {
                    anchors.fill: parent
                    shape: Shadow.Circle
                    color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.55)
                    blurRadius: 7
                }
                Rectangle {
                    anchors.fill: parent
                    radius: 4
                    color: node.index === 1 ? Kit.Palette.accentMint : Kit.Palette.accentViolet
                }
            }
        }
        PlainText {
            objectName: "networkIconPrompt"
            x: 0.28 * drawing.width - width / 2
            y: 0.53 * drawing.height - height / 2
            text: ">"
            monospaced: true
            font.pixelSize: 15
            font.weight: Font.ExtraBold
            color: Kit.Palette.accentMint
            Accessible.ignored: true
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// One window: frameless, fixed at 850 × 540 and dark whatever the desktop theme says; its own
// buttons sit top-left and dragging its background moves it.
ApplicationWindow {
    id: root

    // The PORT of the command line, scanned as soon as the window opens; undefined for none.
    property var portArgument

    title: "Quaymeter"
    width: 850
    height: 540
    minimumWidth: 850
    maximumWidth: 850
    minimumHeight: 540
    maximumHeight: 540
    flags: Qt.Window | Qt.FramelessWindowHint
    visible: true
    color: Kit.Palette.canvasBottom
    font.family: Fonts.system

    palette.window: Kit.Palette.canvasBottom
    palette.windowText: Kit.Palette.textPrimary
    palette.base: Kit.Palette.surface
    palette.alternateBase: Kit.Palette.surfaceRaised
    palette.text: Kit.Palette.textPrimary
    palette.button: Kit.Palette.surfaceRaised
    palette.buttonText: Kit.Palette.textPrimary
    palette.brightText: Kit.Palette.textPrimary
    palette.highlight: Kit.Palette.accentCyan
    palette.highlightedText: Kit.Palette.canvasBottom
    palette.placeholderText: Kit.Palette.textMuted
    palette.toolTipBase: Kit.Palette.surfaceRaised
    palette.toolTipText: Kit.Palette.textPrimary
    palette.light: Kit.Palette.steelTeal
    palette.midlight: Kit.Palette.steelTeal
    palette.mid: Kit.Palette.surfaceRaised
    palette.dark: Kit.Palette.canvasTop
    palette.shadow: Kit.Palette.canvasBottom
    palette.link: Kit.Palette.accentCyan
    palette.linkVisited: Kit.Palette.accentViolet

    // Underneath everything, so it only gets presses that no control takes.
    MouseArea {
        property point pressedAt
        property point startedAt
        property bool movingByHand: false

        anchors.fill: parent
        onPressed: mouse => {
            movingByHand = !root.startSystemMove();
            pressedAt = mapToGlobal(mouse.x, mouse.y);
            startedAt = Qt.point(root.x, root.y);
        }
        onPositionChanged: mouse => {
            if (!movingByHand)
                return;
            const now = mapToGlobal(mouse.x, mouse.y);
            root.x = startedAt.x + now.x - pressedAt.x;
            root.y = startedAt.y + now.y - pressedAt.y;
        }
    }
    ContentView {
        id: content

        objectName: "contentView"
        anchors.fill: parent
        portArgument: root.portArgument
    }
    Row {
        objectName: "windowButtons"
        x: 16
        y: 16
        spacing: 8

        WindowButton {
            objectName: "closeButton"
            text: "Close"
            glyph: "×"
            tint: Kit.Palette.accentPink
            onClicked: root.close()
        }
        WindowButton {
            objectName: "minimizeButton"
            text: "Minimise"
            glyph: "−"
            tint: Kit.Palette.textSecondary
            onClicked: root.showMinimized()
        }
    }

    // The way to every listener, where the title bar would be, so the design's window below keeps
    // every element where it was.
    AbstractButton {
        id: listenersButton

        objectName: "listenersButton"
        anchors.right: parent.right
        anchors.rightMargin: 22
        y: 11
        text: "All listeners"
        topPadding: 4
        bottomPadding: 4
        leftPadding: 10
        rightPadding: 10
        onClicked: content.toggleListeners()
        Accessible.role: Accessible.Button
        Accessible.name: text
        Accessible.description: "Ctrl+L"
        // Runs even while the button is disabled.
        Accessible.onPressAction: {
            if (listenersButton.enabled)
                listenersButton.clicked();
        }

        contentItem: Row {
            spacing: 7

            PlainText {
                text: listenersButton.text
                font.pixelSize: 11
                font.weight: Font.Medium
                Accessible.ignored: true
            }
            PlainText {
                text: "Ctrl+L"
                monospaced: true
                font.pixelSize: 10
                color: Kit.Palette.textMuted
                Accessible.ignored: true
            }
        }
        background: Rectangle {
            radius: height / 2
            color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.58)
            border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, listenersButton.hovered ? 0.6 : 0.3)
            border.width: 1

            FocusRing {
                anchors.fill: parent
                shapeRadius: height / 2
                shown: listenersButton.visualFocus
            }
        }
    }

    Shortcut {
        sequence: "Ctrl+L"
        onActivated: content.toggleListeners()
    }
    Shortcut {
        sequence: "Ctrl+N"
        onActivated: WindowGroup.openWindow()
    }
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: root.close()
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: Qt.quit()
    }
}

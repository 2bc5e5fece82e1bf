pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quaymeter
import Quaymeter as Kit

// One port of the listener list: the port, who holds it and what runs it, and where it listens.
// The list keeps the keyboard: a row is pressed by a click, Return or an assistive technology.
T.ItemDelegate {
    id: root

    required property int index
    required property int port
    required property string holder
    required property string detail
    required property string addresses
    required property bool hidden
    required property string sentence
    // The row Return would pick, and whether the list has the keyboard to show its ring.
    required property bool current
    required property bool ringShown
    // A row the list keeps for the next filter: hidden and deaf, as no row of the list.
    property bool pooled: false

    visible: !pooled
    enabled: !pooled
    focusPolicy: Qt.NoFocus
    implicitHeight: 46
    leftPadding: 10
    rightPadding: 10
    Accessible.name: sentence
    Accessible.description: "Address " + addresses
    Accessible.ignored: pooled
    Accessible.onPressAction: {
        if (root.enabled)
            root.clicked();
    }
    ListView.onPooled: pooled = true
    ListView.onReused: pooled = false

    background: Rectangle {
        radius: 8
        color: root.current || root.hovered ? Kit.Palette.withOpacity(Kit.Palette.accentCyan, root.current ? 0.10 : 0.05) : "transparent"

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: Kit.Palette.hairline
            visible: !root.current
        }
        FocusRing {
            anchors.fill: parent
            shown: root.current && root.ringShown
        }
    }
    contentItem: RowLayout {
        spacing: 12

        PlainText {
            objectName: "listenerPort"
            Layout.preferredWidth: 58
            text: root.port
            monospaced: true
            font.pixelSize: 15
            font.weight: Font.Bold
            color: Kit.Palette.accentMint
            Accessible.ignored: true
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            PlainText {
                objectName: "listenerHolder"
                Layout.fillWidth: true
                text: root.holder
                elide: Text.ElideRight
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: root.hidden ? Kit.Palette.accentViolet : Kit.Palette.textPrimary
                Accessible.ignored: true
            }
            PlainText {
                objectName: "listenerDetail"
                Layout.fillWidth: true
                text: root.detail
                elide: Text.ElideRight
                font.pixelSize: 11
                font.weight: Font.Medium
                Accessible.ignored: true
            }
        }
        PlainText {
            objectName: "listenerAddresses"
            Layout.maximumWidth: 130
            text: root.addresses
            elide: Text.ElideRight
            monospaced: true
            font.pixelSize: 11
            color: Kit.Palette.textMuted
            Accessible.ignored: true
        }
    }
}

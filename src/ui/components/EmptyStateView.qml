pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// What the results area shows while no listener is listed: an icon and what to do next.
ColumnLayout {
    id: root

    required property int status
    // The whole text of an error that the status line could not show in full.
    property string detail: ""
    // The user whose listener the last scan found but may not show; empty when there is none.
    property string owner: ""
    // Whether the way forward for that listener, Scan as Administrator, is open here at all, and
    // whether it may be taken now.
    property bool offerAdministrator: false
    property bool canScanAsAdministrator: false
    // The container a runtime says still publishes the free-looking port, and its Stop Container.
    property string container: ""
    property int port: 0
    property bool canStopContainer: false
    // After a stop refused for want of rights: the command to run as one who may, to copy.
    property string stopCommandOffered: ""
    readonly property bool containerShown: container !== "" && status !== ScanStatus.Scanning
    property SecondaryButtonStyle stopContainerButton: null
    readonly property bool ownerShown: owner !== "" && status !== ScanStatus.Scanning
    readonly property bool administratorShown: ownerShown && offerAdministrator
    // The error detail and the Scan as Administrator button, each made the first time it is due.
    property TextEdit detailEdit: null
    property SecondaryButtonStyle administratorButton: null

    signal scanAsAdministrator
    signal stopContainer

    readonly property var content: containerShown ? {
        title: "Container " + container,
        message: stopCommandOffered === "" ? "It still publishes port " + port + "." : "Not allowed here. Run: " + stopCommandOffered,
        icon: "exclamationmark.triangle",
        iconColor: Kit.Palette.accentViolet
    } : ownerShown ? {
        title: "Listener of user " + owner,
        message: "Only an administrator may see its process and stop it.",
        icon: "exclamationmark.triangle",
        iconColor: Kit.Palette.accentViolet
    } : StatusLooks.of(status).empty

    spacing: 16

    onDetailChanged: {
        if (detail !== "" && !detailEdit)
            detailEdit = Parts.build(detailComponent, texts) as TextEdit;
    }
    onContainerShownChanged: {
        if (containerShown && !stopContainerButton)
            stopContainerButton = Parts.build(stopContainerComponent, root) as SecondaryButtonStyle;
    }
    onAdministratorShownChanged: {
        if (administratorShown && !administratorButton)
            administratorButton = Parts.build(administratorComponent, root) as SecondaryButtonStyle;
    }

    Item {
        Layout.alignment: Qt.AlignHCenter
        implicitWidth: 96
        implicitHeight: 96

        Rectangle {
            objectName: "emptyStateCircle"
            anchors.fill: parent
            radius: width / 2
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.08)
            border.color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.18)
            border.width: 1
        }
        Shadow {
            anchors.fill: icon
            shape: Shadow.Text
            text: icon.text
            font: icon.font
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
            blurRadius: 12
        }
        SymbolImage {
            id: icon

            objectName: "emptyStateIcon"
            anchors.centerIn: parent
            name: root.content.icon
            color: root.content.iconColor
            size: 36
            weight: Font.Light
        }
    }
    ColumnLayout {
        id: texts

        Layout.fillWidth: true
        spacing: 6

        PlainText {
            objectName: "emptyStateTitle"
            Layout.fillWidth: true
            text: root.content.title
            font.pixelSize: 20
            font.weight: Font.Bold
            color: Kit.Palette.textPrimary
            horizontalAlignment: Text.AlignHCenter
            maximumLineCount: 1
            elide: Text.ElideRight
        }
        PlainText {
            objectName: "emptyStateMessage"
            Layout.fillWidth: true
            text: root.content.message
            font.pixelSize: 13
            font.weight: Font.Medium
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
        }
        // Made the first time there is an error to show in full.
        Component {
            id: detailComponent

            TextEdit {
                objectName: "emptyStateDetail"
                Layout.fillWidth: true
                visible: root.detail !== ""
                text: root.detail
                textFormat: TextEdit.PlainText
                readOnly: true
                selectByMouse: true
                activeFocusOnTab: visible
                wrapMode: TextEdit.Wrap
                horizontalAlignment: TextEdit.AlignHCenter
                font.family: Fonts.system
                font.pixelSize: 13
                font.weight: Font.Medium
                color: Kit.Palette.textPrimary
                selectionColor: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
                selectedTextColor: Kit.Palette.textPrimary
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
    }
    // Made the first time a container is named here.
    Component {
        id: stopContainerComponent

        SecondaryButtonStyle {
            objectName: "stopContainerButton"
            Layout.alignment: Qt.AlignHCenter
            visible: root.containerShown
            text: root.stopCommandOffered === "" ? "Stop Container" : "Copy Command"
            Accessible.name: text
            accent: Kit.Palette.accentPink
            filled: true
            enabled: root.canStopContainer
            onClicked: {
                if (root.stopCommandOffered === "")
                    root.stopContainer();
                else
                    Clipboard.setText(root.stopCommandOffered);
            }
        }
    }
    // Made the first time a listener of another user is shown.
    Component {
        id: administratorComponent

        SecondaryButtonStyle {
            objectName: "scanAsAdministratorButton"
            Layout.alignment: Qt.AlignHCenter
            visible: root.administratorShown
            text: "Scan as Administrator"
            accent: Kit.Palette.accentViolet
            filled: true
            enabled: root.canScanAsAdministrator
            onClicked: root.scanAsAdministrator()
        }
    }
}

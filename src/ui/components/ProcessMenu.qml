pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Quaymeter
import Quaymeter as Kit

// A card's copy actions, each putting exactly one text of the listener on the clipboard, and
// after a kill refused for want of rights, the way forward.
Menu {
    id: root

    required property var process
    property bool offerAdministrator: false
    // The unit's or the container's; never a container runtime's own daemon.
    property string stopCommand: root.process.identity.stopCommand

    signal scanAsAdministrator

    // Listed only while offered: a menu hides no action of its own.
    onOfferAdministratorChanged: showAdministratorAction()
    Component.onCompleted: showAdministratorAction()

    function showAdministratorAction() {
        if (root.offerAdministrator && root.actionAt(root.count - 1) !== root.administratorAction)
            root.addAction(root.administratorAction);
        else if (!root.offerAdministrator && root.actionAt(root.count - 1) === root.administratorAction)
            root.takeAction(root.count - 1);
    }

    // Held by a property rather than declared inside: an Action declared in a Menu is listed.
    readonly property Action administratorAction: Action {
        text: "Scan as Administrator"
        onTriggered: root.scanAsAdministrator()
    }

    padding: 6
    margins: 8

    Action {
        text: "Copy PID"
        onTriggered: Clipboard.setText(String(root.process.pid))
    }
    Action {
        text: "Copy Command Line"
        // Unknown for a process whose command line could not be read: nothing to copy.
        enabled: root.process.identity.commandLine !== ""
        onTriggered: Clipboard.setText(root.process.identity.commandLine)
    }
    Action {
        text: "Copy lsof Line"
        onTriggered: Clipboard.setText(root.process.rawOutput)
    }
    Action {
        text: "Copy Stop Command"
        // Only a unit or a container has one: killing its PID just makes it start another.
        enabled: root.stopCommand !== ""
        onTriggered: Clipboard.setText(root.stopCommand)
    }

    delegate: MenuItem {
        id: item

        objectName: "copyAction"
        font.family: Fonts.system
        font.pixelSize: 12
        font.weight: Font.Medium
        opacity: enabled ? 1 : 0.45
        Accessible.name: text
        Accessible.onPressAction: {
            if (item.enabled) {
                item.action.trigger(item);
                root.close();
            }
        }

        contentItem: Text {
            text: item.text
            textFormat: Text.PlainText
            font: item.font
            color: item.highlighted ? Kit.Palette.textPrimary : Kit.Palette.textSecondary
            leftPadding: 4
            verticalAlignment: Text.AlignVCenter
            Accessible.ignored: true
        }
        background: Rectangle {
            implicitWidth: 190
            implicitHeight: 30
            radius: 6
            color: item.highlighted ? Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.16) : "transparent"
        }
    }
    background: Rectangle {
        implicitWidth: 200
        radius: 8
        color: Kit.Palette.surfaceRaised
        border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.5)
        border.width: 1
    }
}

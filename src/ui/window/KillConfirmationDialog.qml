import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Quaymeter
import Quaymeter as Kit

// The modal alert shown exactly while a kill waits for confirmation. However it closes,
// nothing stays pending; only the destructive button goes on to kill.
Dialog {
    id: root

    required property InspectorState inspector
    readonly property var alert: inspector.pendingKillAlert
    readonly property string commandLine: inspector.pendingKill !== undefined ? inspector.pendingKill.process.identity.commandLine : ""

    function follow() {
        if (inspector.pendingKill !== undefined)
            open();
        else
            close();
    }

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: 380
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    padding: 20
    topPadding: 8
    title: alert ? alert.title : ""

    Component.onCompleted: follow()
    onAccepted: inspector.confirmPendingKill()
    onRejected: inspector.dismissPendingKill()
    // Any other way out counts as cancelling; checked later, after accepted() has run.
    // Qt 6.4's linter cannot tell that Qt.callLater is a method.
    // qmllint disable
    onClosed: Qt.callLater(() => {
        if (inspector.pendingKill !== undefined)
            inspector.dismissPendingKill();
    })
    // qmllint enable

    Connections {
        function onPendingKillChanged() {
            root.follow();
        }

        target: root.inspector
    }

    T.Overlay.modal: Rectangle {
        color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.6)
    }
    background: Rectangle {
        radius: 12
        color: Kit.Palette.surfaceRaised
        border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.5)
        border.width: 1
    }
    header: Text {
        objectName: "alertTitle"
        topPadding: 20
        leftPadding: 20
        rightPadding: 20
        text: root.title
        textFormat: Text.PlainText
        font.family: Fonts.system
        font.pixelSize: 15
        font.weight: Font.Bold
        color: Kit.Palette.textPrimary
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    contentItem: Text {
        objectName: "alertMessage"
        text: root.alert ? TextExcerpt.line(root.alert.message) : ""
        textFormat: Text.PlainText
        font.family: Fonts.system
        font.pixelSize: 13
        font.weight: Font.Medium
        color: Kit.Palette.textSecondary
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        // The message names the process as lsof does; a screen reader also hears which one.
        Accessible.description: root.commandLine === "" ? "" : "Command line: " + root.commandLine
    }
    footer: DialogButtonBox {
        objectName: "alertButtons"
        alignment: Qt.AlignRight
        spacing: 10
        padding: 20
        topPadding: 0
        standardButtons: Dialog.Cancel
        background: null

        // Cancel is the default: Return in the alert leaves the process alone.
        delegate: SecondaryButtonStyle {
            objectName: "alertCancel"
            accent: Kit.Palette.textSecondary
            filled: false
            isDefault: true
            focus: true
        }

        SecondaryButtonStyle {
            objectName: "alertDestructive"
            text: root.alert ? root.alert.destructiveLabel : ""
            accent: Kit.Palette.accentPink
            filled: true
            // Qt 6.4's linter does not see the roles DialogButtonBox takes from its helper.
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole // qmllint disable
        }
    }
}

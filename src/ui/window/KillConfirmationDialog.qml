import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// The modal alert shown exactly while a kill, or a container's stop, waits for confirmation.
// However it closes, nothing stays pending; only the destructive button goes on.
Dialog {
    id: root

    required property InspectorState inspector
    readonly property bool forContainer: inspector.hasPendingContainerStop
    readonly property killConfirmationAlert alert: forContainer ? inspector.pendingContainerStopAlert : inspector.pendingKillAlert
    readonly property string commandLine: forContainer ? "" : inspector.pendingKill.process.identity.commandLine
    // The control that asked for the alert, and whether the keyboard did: focus goes back there.
    property Item opener: null
    property bool openedByKeyboard: false

    function follow() {
        if (inspector.hasPendingKill || inspector.hasPendingContainerStop)
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
    title: alert.title

    Component.onCompleted: follow()
    // A kept alert would give focus back to whichever button had it last; a destructive
    // confirmation opens on Cancel every time, so Return right after opening never signals.
    onAboutToShow: {
        const focused = parent.Window.activeFocusItem;
        opener = focused;
        openedByKeyboard = (focused as T.Control)?.visualFocus ?? false;
        standardButton(Dialog.Cancel).focus = true;
    }
    onOpened: {
        const cancel = standardButton(Dialog.Cancel);
        cancel.forceActiveFocus(Qt.PopupFocusReason);
        cancel.focusReason = openedByKeyboard ? Qt.TabFocusReason : Qt.PopupFocusReason;
    }
    onAccepted: forContainer ? inspector.confirmPendingContainerStop() : inspector.confirmPendingKill()
    onRejected: {
        inspector.dismissPendingKill();
        inspector.dismissPendingContainerStop();
    }
    // Any other way out counts as cancelling; checked later, after accepted() has run.
    // Qt 6.4's linter cannot tell that Qt.callLater is a method.
    // qmllint disable
    onClosed: {
        const opener = root.opener as T.Control;
        if (opener !== null && opener.enabled && opener.visible) {
            opener.forceActiveFocus(Qt.PopupFocusReason);
            opener.focusReason = root.openedByKeyboard ? Qt.TabFocusReason : Qt.PopupFocusReason;
        }
        root.opener = null;
        Qt.callLater(() => {
            if (inspector.hasPendingKill)
                inspector.dismissPendingKill();
            if (inspector.hasPendingContainerStop)
                inspector.dismissPendingContainerStop();
        });
    }
    // qmllint enable

    Connections {
        function onPendingKillChanged() {
            root.follow();
        }
        function onPendingContainerStopChanged() {
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
    header: PlainText {
        objectName: "alertTitle"
        topPadding: 20
        leftPadding: 20
        rightPadding: 20
        text: root.title
        font.pixelSize: 15
        font.weight: Font.Bold
        color: Kit.Palette.textPrimary
        wrapMode: Text.WordWrap
    }
    contentItem: Column {
        spacing: 10

        PlainText {
            objectName: "alertMessage"
            width: parent.width
            text: TextExcerpt.line(root.alert.message)
            font.pixelSize: 13
            font.weight: Font.Medium
            wrapMode: Text.WordWrap
            // The message names the process; a screen reader also hears which one.
            Accessible.description: root.commandLine === "" ? "" : "Command line: " + root.commandLine
        }
        // What else a kill of a container runtime's plumbing does.
        PlainText {
            objectName: "alertWarning"
            width: parent.width
            visible: root.alert.warning !== ""
            text: TextExcerpt.line(root.alert.warning)
            font.pixelSize: 13
            font.weight: Font.Medium
            color: Kit.Palette.accentViolet
            wrapMode: Text.WordWrap
            Accessible.ignored: !visible
        }
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
        }

        SecondaryButtonStyle {
            objectName: "alertDestructive"
            text: root.alert.destructiveLabel
            accent: Kit.Palette.accentPink
            filled: true
            // Qt 6.4's linter does not see the roles DialogButtonBox takes from its helper.
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole // qmllint disable
        }
    }
}

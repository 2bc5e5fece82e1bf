pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Quaymeter
import Quaymeter as Kit

// One listener: its name and port, the two kill buttons, and the details lsof gave.
ColumnLayout {
    id: root

    required property var process
    required property bool isKilling
    // Still listed after TERM: the card says so; its list puts the keyboard on Force Kill.
    required property bool survivedTerm

    // The init process frees no port on a signal: its card offers none.
    readonly property bool isInit: root.process.pid === 1

    // After a kill refused for want of rights, the menu offers to scan as administrator.
    property bool offerAdministrator: false
    // For a container runtime's plumbing: the container that publishes the port (or why the
    // runtime could not say), Stop Container while one is known, and after a stop the runtime
    // refused for want of rights, the command to run as one who may.
    property string containerText: ""
    property bool offerStopContainer: false
    property bool canStopContainer: true
    property string stopCommand: root.process.identity.stopCommand
    property string stopCommandOffered: ""

    // The owner decides what a press means; the card only reports it.
    signal killAction
    signal forceKillAction
    signal scanAsAdministratorAction
    signal stopContainerAction

    spacing: 16
    // Groups a card's texts and buttons, so a screen reader knows which process a Kill acts on.
    Accessible.role: Accessible.Grouping
    Accessible.name: commandName.text + " PID " + root.process.pid
    // Heard before choosing Kill: which of several servers of the same name this one is.
    Accessible.description: root.process.identity.summary + (root.containerText === "" ? "" : "\nContainer: " + root.containerText)
    // What does not show is not heard: a hidden card (one the list keeps for a later scan) leaves
    // no node behind, nor does any of its lines.
    Accessible.ignored: !root.visible

    // Right click anywhere on the card, or the Menu key on its buttons. The menu and the
    // identity tooltip are built when first needed, so a scan shows its cards sooner.
    property ProcessMenu menu: null
    property IdentityToolTip identity: null
    // Over the name, never over the fields a kill button acts on; keyboard and screen reader
    // users hear it as the card's description.
    readonly property bool identityWanted: nameHover.hovered

    onIdentityWantedChanged: {
        if (root.identityWanted && root.identity === null)
            root.identity = Parts.build(identityComponent, commandName) as IdentityToolTip;
    }

    function focusButton(force: bool, reason: int) {
        (root.isInit ? stopButton : force ? forceKillButton : killButton).forceActiveFocus(reason);
    }
    // Kept for a later listener: nothing of this one may stay open.
    function putAway() {
        if (root.menu !== null)
            root.menu.close();
    }
    function popupMenu(parent: Item, x: real, y: real) {
        if (root.menu === null)
            root.menu = Parts.build(menuComponent, root) as ProcessMenu;
        root.menu.popup(parent, x, y);
    }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: (eventPoint, button) => root.popupMenu(root, eventPoint.position.x, eventPoint.position.y)
    }
    Component {
        id: menuComponent

        ProcessMenu {
            objectName: "processMenu"
            process: root.process
            stopCommand: root.stopCommand
            offerAdministrator: root.offerAdministrator
            onScanAsAdministrator: root.scanAsAdministratorAction()
        }
    }

    RowLayout {
        Layout.fillWidth: true

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 5

            PlainText {
                id: commandName

                objectName: "commandName"
                // The kernel's whole name where lsof's is cut; OUTPUT keeps lsof's line.
                text: TextExcerpt.line(root.process.identity.wholeName(root.process.commandName))
                font.pixelSize: 26
                font.weight: Font.Bold
                color: Kit.Palette.textPrimary
                // Whole, however long: a card grows rather than hide which process it is.
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                Accessible.ignored: !visible

                HoverHandler {
                    id: nameHover
                }
                Component {
                    id: identityComponent

                    IdentityToolTip {
                        objectName: "identityToolTip"
                        summary: root.process.identity.summary
                        visible: summary !== "" && root.identityWanted
                    }
                }
            }
            PlainText {
                objectName: "listeningLine"
                text: "Listening on TCP " + root.process.port
                monospaced: true
                font.pixelSize: 12
                font.weight: Font.Medium
                color: Kit.Palette.accentCyan
                Accessible.ignored: !visible
            }
            PlainText {
                objectName: "containerLine"
                visible: root.containerText !== ""
                text: root.containerText
                font.pixelSize: 12
                font.weight: Font.Medium
                color: Kit.Palette.accentViolet
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                Accessible.ignored: !visible
            }
            // A service manager holds the port for a unit: its name says what stops it.
            PlainText {
                objectName: "socketUnitLine"
                visible: text !== ""
                text: root.process.identity.socketUnitLine
                font.pixelSize: 12
                font.weight: Font.Medium
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                Accessible.ignored: !visible
            }
        }
        RowLayout {
            spacing: 9

            SecondaryButtonStyle {
                id: killButton
                objectName: "killButton"
                text: "Kill Process"
                accent: Kit.Palette.accentCyan
                filled: true
                visible: !root.isInit
                enabled: !root.isKilling
                onClicked: root.killAction()
                Keys.onMenuPressed: root.popupMenu(killButton, 0, killButton.height)
            }
            SecondaryButtonStyle {
                id: forceKillButton
                objectName: "forceKillButton"
                text: "Force Kill"
                accent: Kit.Palette.accentViolet
                filled: false
                visible: !root.isInit
                enabled: !root.isKilling
                onClicked: root.forceKillAction()
                Keys.onMenuPressed: root.popupMenu(forceKillButton, 0, forceKillButton.height)
            }
            // In the kill buttons' place, what does free the port, within the keyboard's reach.
            SecondaryButtonStyle {
                id: stopButton
                objectName: "copyStopButton"
                text: "Copy Stop Command"
                accent: Kit.Palette.accentCyan
                filled: true
                visible: root.isInit
                enabled: root.process.identity.stopCommand !== ""
                onClicked: Clipboard.setText(root.process.identity.stopCommand)
                Keys.onMenuPressed: root.popupMenu(stopButton, 0, stopButton.height)
            }
        }
    }

    RowLayout {
        objectName: "containerActions"
        visible: root.offerStopContainer
        spacing: 9

        SecondaryButtonStyle {
            objectName: "stopContainerButton"
            text: "Stop Container"
            Accessible.name: text
            accent: Kit.Palette.accentPink
            filled: false
            enabled: root.canStopContainer
            onClicked: root.stopContainerAction()
        }
        PlainText {
            objectName: "containerStopCommand"
            visible: root.stopCommandOffered !== ""
            text: "Not allowed here. Run: " + root.stopCommandOffered
            monospaced: true
            font.pixelSize: 12
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            Accessible.ignored: !visible
        }
        SecondaryButtonStyle {
            objectName: "copyStopCommandButton"
            visible: root.stopCommandOffered !== ""
            text: "Copy Command"
            accent: Kit.Palette.accentCyan
            filled: false
            onClicked: Clipboard.setText(root.stopCommandOffered)
        }
    }

    RowLayout {
        objectName: "progressLine"
        visible: root.isKilling
        spacing: 8

        SmallSpinner {
            tint: Kit.Palette.accentCyan
        }
        PlainText {
            text: "Sending signal..."
            font.pixelSize: 12
            font.weight: Font.Medium
            Accessible.ignored: !visible
        }
    }

    PlainText {
        objectName: "survivedTermLine"
        visible: root.survivedTerm && !root.isKilling
        text: "This process survived TERM. Force Kill sends KILL."
        font.pixelSize: 12
        font.weight: Font.Medium
        color: Kit.Palette.accentViolet
        Accessible.ignored: !visible
    }

    GridLayout {
        objectName: "detailsGrid"
        Layout.fillWidth: true
        columns: 2
        rowSpacing: 10

        DetailLabel {
            text: "PID"
            Layout.preferredWidth: 80
            Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        }
        DetailValue {
            objectName: "pidValue"
            text: String(root.process.pid)
            highlight: true
            Layout.fillWidth: true
            Layout.minimumWidth: 10
        }
        DetailLabel {
            text: "USER"
            Layout.preferredWidth: 80
            Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        }
        DetailValue {
            objectName: "userValue"
            text: root.process.user
            Layout.fillWidth: true
            Layout.minimumWidth: 10
        }
        DetailLabel {
            text: "DETAILS"
            Layout.preferredWidth: 80
            Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        }
        DetailValue {
            objectName: "detailsValue"
            text: root.process.commandDetails
            Layout.fillWidth: true
            Layout.minimumWidth: 10
        }
        DetailLabel {
            text: "OUTPUT"
            Layout.preferredWidth: 80
            Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
        }
        DetailValue {
            objectName: "outputValue"
            text: root.process.rawOutput
            Layout.fillWidth: true
            Layout.minimumWidth: 10
        }
    }
}

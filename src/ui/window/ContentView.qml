pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// The one view of a window. It owns the window's inspector state and lays out the header, the
// two columns and the footer over the layered background.
Item {
    id: root

    readonly property InspectorState inspector: InspectorState {
        objectName: "inspector"
    }
    readonly property url makerSite: "https://brennick-rnd.com"
    // Built the first time a kill asks for it, then kept. Untyped, as naming the type would
    // compile it at start.
    property var alert: null
    // The list of every listener, built the first time it opens, over the results panel: the
    // port picked there is scanned, and its cards show, in the same place.
    property var listenerBrowser: null
    readonly property bool listenersOpen: listenerBrowser !== null && listenerBrowser.visible
    // A port to type in and scan as soon as the window opens, as a user would; undefined for none.
    property var portArgument

    Component.onCompleted: {
        if (portArgument !== undefined) {
            inspector.portText = portArgument;
            inspector.startScan();
        }
    }

    function openListeners() {
        if (inspector.hasPendingKill)
            return;
        if (listenerBrowser === null) {
            listenerBrowser = Parts.build("ListenerBrowserView.qml", resultsPanel, {
                objectName: "listenerBrowserView",
                inspector: inspector,
                width: Qt.binding(() => resultsPanel.width),
                height: Qt.binding(() => resultsPanel.height)
            });
            listenerBrowser.closed.connect(byKeyboard => portInputPanel.focusField(byKeyboard ? Qt.TabFocusReason : Qt.OtherFocusReason));
        }
        listenerBrowser.open();
    }
    function toggleListeners() {
        if (listenersOpen)
            listenerBrowser.close(true);
        else
            openListeners();
    }

    implicitWidth: 850
    implicitHeight: 540

    CanvasBackground {
        objectName: "canvas"
        anchors.fill: parent
        topColor: Kit.Palette.canvasTop
        bottomColor: Kit.Palette.canvasBottom
        glowInnerColor: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.18)
        glowMiddleColor: Kit.Palette.withOpacity(Kit.Palette.accentViolet, 0.08)
        glowInnerRadius: 60
        glowOuterRadius: 620
    }

    ColumnLayout {
        id: content

        objectName: "contentColumn"
        x: 22
        y: 42
        width: root.width - 44
        spacing: 8

        RowLayout {
            objectName: "header"
            Layout.fillWidth: true
            spacing: 16

            ColumnLayout {
                Layout.alignment: Qt.AlignVCenter
                spacing: 3

                AppLogoView {
                    objectName: "appLogo"
                    Layout.preferredWidth: 208
                    Layout.preferredHeight: 58
                }
                PlainText {
                    objectName: "tagLine"
                    text: "Find it. Kill it. Free the port."
                    font.pixelSize: 12
                    font.weight: Font.Medium
                }
            }
            Item {
                Layout.fillWidth: true
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignVCenter
                spacing: 7

                PlainText {
                    objectName: "windowTitle"
                    Layout.alignment: Qt.AlignRight
                    text: "TCP LISTENER INSPECTOR"
                    monospaced: true
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    font.letterSpacing: 1.4
                    color: Kit.Palette.accentMint
                    Accessible.role: Accessible.Heading
                }
                StatusBadge {
                    objectName: "statusBadge"
                    Layout.alignment: Qt.AlignRight
                    status: root.inspector.status
                }
            }
        }

        RowLayout {
            objectName: "middleRow"
            Layout.fillWidth: true
            spacing: 14

            Item {
                objectName: "leftColumn"
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 306
                Layout.minimumWidth: 306
                Layout.maximumWidth: 306
                implicitHeight: leftStack.implicitHeight

                HeightReader {
                    anchors.fill: parent
                    preference: leftColumnHeights
                }
                ColumnLayout {
                    id: leftStack

                    anchors.fill: parent
                    spacing: 12

                    PortInputPanel {
                        id: portInputPanel

                        objectName: "portInputPanel"
                        Layout.fillWidth: true
                        inspector: root.inspector
                    }
                    // The fixed window has no room for the validation line below the field: the
                    // log, whose older lines scroll anyway, gives it up while it shows, so the
                    // columns keep their height and nothing else moves.
                    ActivityPanel {
                        objectName: "activityPanel"
                        Layout.fillWidth: true
                        inspector: root.inspector
                        squeeze: portInputPanel.validationRoom
                    }
                }
            }

            ResultsPanel {
                id: resultsPanel

                objectName: "resultsPanel"
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.preferredHeight: root.inspector.leftColumnHeight > 0 ? root.inspector.leftColumnHeight : implicitHeight
                Layout.minimumHeight: root.inspector.leftColumnHeight > 0 ? root.inspector.leftColumnHeight : 0
                Layout.maximumHeight: root.inspector.leftColumnHeight > 0 ? root.inspector.leftColumnHeight : Infinity
                inspector: root.inspector
                statusCut: portInputPanel.statusCut
                covered: root.listenersOpen
            }
        }

        RowLayout {
            objectName: "footer"
            Layout.fillWidth: true

            Item {
                Layout.fillWidth: true
            }
            AbstractButton {
                id: creditLink

                objectName: "creditLink"
                text: "Provided by Brennick Research and Development"
                topPadding: 7
                bottomPadding: 7
                leftPadding: 10
                rightPadding: 10
                onClicked: Qt.openUrlExternally(root.makerSite)
                Accessible.role: Accessible.Link
                Accessible.name: text
                // Runs even while the link is disabled.
                Accessible.onPressAction: {
                    if (creditLink.enabled)
                        creditLink.clicked();
                }

                contentItem: Row {
                    spacing: 8

                    Image {
                        objectName: "footerLogo"
                        anchors.verticalCenter: parent.verticalCenter
                        width: 18
                        height: 18
                        source: Assets.providedImageUrl(Assets.footerLogo)
                        sourceSize.width: 36
                        sourceSize.height: 36
                        fillMode: Image.PreserveAspectFit
                        smooth: true
                        opacity: 0.78
                    }
                    PlainText {
                        objectName: "creditText"
                        anchors.verticalCenter: parent.verticalCenter
                        text: creditLink.text
                        font.pixelSize: 11
                        font.weight: Font.Medium
                        Accessible.ignored: true
                    }
                    SymbolImage {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "arrow.up.right"
                        size: 9
                        weight: Font.Bold
                        color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.82)
                    }
                }
                background: Rectangle {
                    radius: height / 2
                    color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.58)
                    border.color: Kit.Palette.withOpacity(Kit.Palette.steelTeal, 0.24)
                    border.width: 1

                    FocusRing {
                        anchors.fill: parent
                        shapeRadius: height / 2
                        shown: creditLink.visualFocus
                    }
                }
            }
        }
    }

    ViewHeightPreferenceKey {
        id: leftColumnHeights

        onValueChanged: root.inspector.recordLeftColumnHeight(value)
    }
    // Keyboard focus is never lost. When the control that holds it is disabled or taken away (Scan
    // while it scans, a card's buttons while their kill runs, the cards while a scan refills
    // them), the port field holds it until the control, or the card now in its place, is back.
    QtObject {
        id: focusKeeper

        // Where keyboard focus was last, and where it was when it had to be parked.
        property var last: null
        property var parked: null

        // Settled once the turn is over: a popup opening or closing passes focus through the
        // window's root on its way.
        function settle() {
            const window = root.Window.window;
            const item = window.activeFocusItem;
            const control = item as T.Control;
            if (control !== null || (item !== null && item.activeFocusOnTab) || (item as DetailValue) !== null) {
                last = {
                    visual: control !== null && control.visualFocus,
                    scan: item.objectName === "scanButton",
                    card: resultsPanel.cardPlace(item)
                };
            } else if (window.active && last !== null && last.visual && parked === null) {
                parked = last;
                portInputPanel.focusField(Qt.TabFocusReason);
            }
        }
        function giveBack() {
            const from = parked;
            parked = null;
            if (from === null || !portInputPanel.fieldHasFocus)
                return;
            if (from.scan)
                portInputPanel.focusScan(Qt.TabFocusReason);
            else if (from.card !== null)
                resultsPanel.focusCard(from.card, Qt.TabFocusReason);
        }
    }
    Connections {
        function onActiveFocusItemChanged() {
            Qt.callLater(focusKeeper.settle); // qmllint disable
        }

        target: root.Window.window
    }
    Connections {
        id: inspectorReactions

        function onCanScanChanged() {
            if (root.inspector.canScan)
                focusKeeper.giveBack();
        }
        function onPortTextEdited() {
            root.inspector.portTextChanged();
        }
        function onPendingContainerStopChanged() {
            inspectorReactions.onPendingKillChanged();
        }
        function onPendingKillChanged() {
            if (!root.alert && (root.inspector.hasPendingKill || root.inspector.hasPendingContainerStop))
                root.alert = Parts.build("KillConfirmationDialog.qml", root, {
                    objectName: "killConfirmation",
                    inspector: root.inspector
                });
        }

        target: root.inspector
    }
}

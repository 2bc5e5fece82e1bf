pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Quaymeter
import Quaymeter as Kit

// The right column: the port scanned last and one card per listener, or a placeholder.
Item {
    id: root

    required property InspectorState inspector

    readonly property string resultsCaption: inspector.lastScannedPort === undefined ? "Awaiting scan" : "Port " + inspector.lastScannedPort
    readonly property var processes: inspector.processes

    implicitWidth: 486
    implicitHeight: content.implicitHeight + 40

    PanelBackground {
        anchors.fill: parent
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.topMargin: 20
        anchors.bottomMargin: 20
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 16

        SectionHeader {
            Layout.fillWidth: true
            title: "Results"
            caption: root.resultsCaption
        }

        // The placeholder sits centred below the header, at least 18 from it and from the bottom.
        Item {
            objectName: "placeholderArea"
            visible: root.processes.length === 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            implicitHeight: placeholder.implicitHeight + 36

            EmptyStateView {
                id: placeholder
                objectName: "emptyState"
                anchors.centerIn: parent
                width: parent.width
                status: root.inspector.status
                owner: root.inspector.hiddenListener === undefined ? "" : root.inspector.hiddenListener.user
                canScanAsAdministrator: root.inspector.canScan
                onScanAsAdministrator: root.inspector.scanAsAdministrator()
            }
        }

        // No scroll bars: the cards flick or wheel inside the pinned height. Only the cards in
        // sight and a card or two either side are built, so hundreds of listeners cost what a few
        // cost.
        ListView {
            id: cards

            objectName: "cardScroll"
            visible: root.processes.length > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 16
            // Keeps the neighbours of a card built, so Tab always has a next card to go to.
            cacheBuffer: 600
            boundsBehavior: Flickable.StopAtBounds
            model: root.processes

            delegate: Column {
                id: entry

                required property var modelData
                required property int index

                width: cards.width
                spacing: 16

                // Tab reaches the built cards in list order, however they were scrolled into sight.
                Component.onCompleted: TabOrder.placeByIndex(entry)

                ProcessResultView {
                    objectName: "processCard"
                    width: entry.width
                    process: entry.modelData
                    isKilling: root.inspector.activeKillPID === entry.modelData.pid
                    onKillAction: root.inspector.requestKill(entry.modelData, false)
                    onForceKillAction: root.inspector.requestKill(entry.modelData, true)
                    offerAdministrator: root.inspector.administratorOffered && root.inspector.canScan
                    onScanAsAdministratorAction: root.inspector.scanAsAdministrator()
                }
                Rectangle {
                    objectName: "cardDivider"
                    visible: entry.modelData.pid !== root.processes[root.processes.length - 1].pid
                    width: entry.width
                    height: 1
                    color: Kit.Palette.hairline
                }
            }

            // A card reached with Tab or a screen reader scrolls into sight; a click does not
            // scroll, or the button would slide away from under the pointer.
            Connections {
                function onActiveFocusItemChanged() {
                    const focused = cards.Window.window.activeFocusItem;
                    const control = focused as T.Control;
                    if (focused === null || (control !== null && control.focusReason === Qt.MouseFocusReason))
                        return;
                    for (let item = focused; item !== null; item = item.parent)
                        if (item.parent === cards.contentItem) {
                            cards.positionViewAtIndex(item.index, ListView.Contain);
                            return;
                        }
                }

                target: cards.Window.window
            }
        }
    }
    EdgeFade {
        objectName: "cardsFadeTop"
        atTop: true
        x: cards.x + content.x
        y: cards.y + content.y
        width: cards.width
        shown: cards.visible && !cards.atYBeginning
    }
    EdgeFade {
        objectName: "cardsFadeBottom"
        x: cards.x + content.x
        y: cards.y + content.y + cards.height - height
        width: cards.width
        shown: cards.visible && !cards.atYEnd
    }
}

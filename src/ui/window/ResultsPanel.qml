pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Quaymeter
import Quaymeter.Inspector

// The right column: the port scanned last and one card per listener, or a placeholder.
Item {
    id: root

    required property InspectorState inspector
    // Whether the status line had to cut its message: an error is then shown here whole.
    property bool statusCut: false
    // While the listener list lies over the panel, the cards under it are neither seen nor reached.
    property bool covered: false

    readonly property string resultsCaption: inspector.lastScannedPort === 0 ? "Awaiting scan" : "Port " + inspector.lastScannedPort
    readonly property int listed: inspector.processes.count

    // The cards once built. Untyped: naming the type would compile its files at start.
    property var cards: null

    // Which card `item` belongs to, and whether it is that card's Force Kill; null outside the cards.
    function cardPlace(item: Item): var {
        return cards === null ? null : cards.cardPlace(item);
    }
    // Focuses the same button of the card with that PID if it is still listed, else the Kill of the
    // card now in its place; false when no card is left.
    function focusCard(place: var, reason: int): bool {
        return cards !== null && cards.focusCard(place, reason);
    }

    implicitWidth: 486
    implicitHeight: content.implicitHeight + 40

    PanelBackground {
        anchors.fill: parent
    }

    ColumnLayout {
        id: content
        visible: !root.covered
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
            visible: root.listed === 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            implicitHeight: placeholder.implicitHeight + 36

            EmptyStateView {
                id: placeholder
                objectName: "emptyState"
                anchors.centerIn: parent
                width: parent.width
                status: root.inspector.status
                detail: root.inspector.status === ScanStatus.Error && root.statusCut ? root.inspector.statusMessage : ""
                owner: root.inspector.hiddenListenerOwner
                // Polkit's actions are read only once a hidden listener is shown, not at start.
                offerAdministrator: root.inspector.hiddenListenerOwner !== "" && root.inspector.administratorAvailable
                canScanAsAdministrator: root.inspector.canScan
                onScanAsAdministrator: root.inspector.scanAsAdministrator()
                container: root.inspector.hasPortContainer ? root.inspector.portContainer.name : ""
                port: root.inspector.lastScannedPort
                canStopContainer: root.inspector.canScan
                stopCommandOffered: root.inspector.containerStopCommandOffered
                onStopContainer: root.inspector.requestStopContainer()
            }
        }

        // The cards' place, filled at the first scan that lists a listener, then kept. A focus
        // scope, so the focus the cards hold stays theirs.
        FocusScope {
            id: cardsPlace

            readonly property bool wanted: root.listed > 0

            visible: wanted
            Layout.fillWidth: true
            Layout.fillHeight: true
            onWantedChanged: {
                if (wanted && root.cards === null)
                    root.cards = Parts.build("CardList.qml", cardsPlace, {
                        inspector: root.inspector,
                        width: Qt.binding(() => cardsPlace.width),
                        height: Qt.binding(() => cardsPlace.height)
                    });
            }
        }
    }
}

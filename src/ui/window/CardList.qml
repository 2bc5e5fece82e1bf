pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Templates as T
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// One card per listener, with a fade over an edge past which more cards lie. No scroll bars: the
// cards flick or wheel inside the pinned height. Only the cards in sight and a card or two
// either side are built, so hundreds of listeners cost what a few cost.
Item {
    id: root

    required property InspectorState inspector
    // The listed processes, a row a card (ListenerList).
    readonly property var processes: inspector.processes

    // Which card `item` belongs to, and whether it is that card's Force Kill; null outside the cards.
    function cardPlace(item: Item): var {
        for (let each = item; each !== null; each = each.parent)
            if (each.parent === cards.contentItem)
                return {
                    pid: each.modelData.pid,
                    index: each.index,
                    force: item.objectName === "forceKillButton"
                };
        return null;
    }
    // Focuses the same button of the card with that PID if it is still listed, else the Kill of the
    // card now in its place; false when no card is left.
    function focusCard(place: var, reason: int): bool {
        let index = processes.indexOfPID(place.pid);
        const same = index >= 0;
        if (!same)
            index = Math.min(place.index, processes.count - 1);
        if (index < 0)
            return false;
        cards.positionViewAtIndex(index, ListView.Contain);
        const entry = cards.itemAtIndex(index);
        if (entry === null)
            return false;
        entry.focusButton(same && place.force, reason);
        return true;
    }

    // Once a kill is over, a process that outlived TERM has its Force Kill, the next step, take
    // focus: with the ring when the keyboard had focus. The list moves it when the state names the
    // survivor, not a card when it starts to show one: a card scrolled back into sight must not
    // take focus. Laying the cards out first keeps the list from then handing it to a refilled row.
    Connections {
        function onSurvivedTermPIDChanged() {
            const pid = root.inspector.survivedTermPID;
            const focused = root.Window.activeFocusItem as T.Control;
            if (pid !== 0)
                root.focusCard({
                    pid: pid,
                    index: -1,
                    force: true
                }, focused !== null && focused.visualFocus ? Qt.TabFocusReason : Qt.OtherFocusReason);
        }

        target: root.inspector
    }

    ListView {
        id: cards

        objectName: "cardScroll"
        // The clip reaches past the cards by a focus ring's width, so no ring is cut off.
        readonly property real ringRoom: 4

        anchors.fill: parent
        anchors.leftMargin: -ringRoom
        anchors.rightMargin: -ringRoom
        clip: true
        spacing: 16
        // Keeps the neighbours of a card built, so Tab always has a next card to go to.
        cacheBuffer: 600
        boundsBehavior: Flickable.StopAtBounds
        // A scan's cards take over the last scan's items: building a card costs far more.
        reuseItems: true
        model: root.processes

        delegate: Column {
            id: entry

            required property var modelData
            required property int index
            // A card kept for the next scan still holds its old process: hidden, disabled and
            // deaf to the state, so no key, click or assistive technology reaches it, nothing of
            // it stays open, and it cannot take focus for a process it no longer shows.
            property bool pooled: false

            visible: !pooled
            enabled: !pooled
            x: cards.ringRoom
            width: cards.width - 2 * cards.ringRoom
            spacing: 16

            function focusButton(force: bool, reason: int) {
                card.focusButton(force, reason);
            }

            // Tab reaches the built cards in list order, however they were scrolled into sight.
            Component.onCompleted: TabOrder.placeByIndex(entry)
            ListView.onPooled: {
                entry.pooled = true;
                card.putAway();
            }
            ListView.onReused: {
                entry.pooled = false;
                TabOrder.placeByIndex(entry);
            }

            ProcessResultView {
                id: card

                objectName: "processCard"
                width: entry.width
                process: entry.modelData
                isKilling: !entry.pooled && root.inspector.activeKillPID === entry.modelData.pid
                survivedTerm: !entry.pooled && root.inspector.survivedTermPID === entry.modelData.pid
                onKillAction: root.inspector.requestKill(entry.modelData, false)
                onForceKillAction: root.inspector.requestKill(entry.modelData, true)
                offerAdministrator: root.inspector.administratorOffered && root.inspector.canScan
                onScanAsAdministratorAction: root.inspector.scanAsAdministrator()
                readonly property bool plumbing: entry.modelData.identity.runtime !== ""
                containerText: !plumbing ? "" : root.inspector.hasPortContainer ? root.inspector.portContainer.description : root.inspector.containerNote
                offerStopContainer: plumbing && root.inspector.hasPortContainer
                canStopContainer: root.inspector.canScan
                stopCommand: offerStopContainer ? root.inspector.portContainer.stopCommand : entry.modelData.identity.stopCommand
                stopCommandOffered: root.inspector.containerStopCommandOffered
                onStopContainerAction: root.inspector.requestStopContainer()
            }
            Rectangle {
                objectName: "cardDivider"
                visible: entry.index < cards.count - 1
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
    EdgeFade {
        objectName: "cardsFadeTop"
        atTop: true
        width: root.width
        shown: !cards.atYBeginning
    }
    EdgeFade {
        objectName: "cardsFadeBottom"
        y: root.height - height
        width: root.width
        shown: !cards.atYEnd
    }
}

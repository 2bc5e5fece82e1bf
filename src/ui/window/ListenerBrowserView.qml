pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// Every port something listens on, over the results panel, for a user who does not know the
// port: picking one scans it there as if it had been typed. Read when it opens and on Refresh,
// never while it sits open.
FocusScope {
    id: root

    required property InspectorState inspector
    readonly property ListenerBrowser listeners: ListenerBrowser {
        objectName: "listenerBrowser"
    }

    signal closed(bool byKeyboard)

    function open() {
        visible = true;
        rows.currentIndex = 0;
        listeners.refresh();
        // The last filter stays, ready to be typed over.
        filterField.selectAll();
        filterField.forceActiveFocus(Qt.ShortcutFocusReason);
    }
    function close(byKeyboard: bool) {
        if (!visible)
            return;
        visible = false;
        closed(byKeyboard);
    }
    // A listener gone by now simply scans to "available".
    function pick(row: int, byKeyboard: bool) {
        const port = listeners.portAt(row);
        if (port === 0)
            return;
        close(byKeyboard);
        inspector.portText = String(port);
        inspector.startScan();
    }
    function moveTo(row: int) {
        if (listeners.count === 0)
            return;
        rows.currentIndex = Math.max(0, Math.min(listeners.count - 1, row));
        rows.positionViewAtIndex(rows.currentIndex, ListView.Contain);
        rows.forceActiveFocus(Qt.TabFocusReason);
    }

    visible: false

    Shortcut {
        sequence: "Escape"
        enabled: root.visible
        onActivated: root.close(true)
    }
    Shortcut {
        sequence: "F5"
        enabled: root.visible
        onActivated: root.listeners.refresh()
    }
    // Any scan, this list's or the field's, shows its outcome in the panel underneath.
    Connections {
        function onStatusChanged() {
            if (root.inspector.status === ScanStatus.Scanning)
                root.close(false);
        }

        target: root.inspector
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: 20
        anchors.bottomMargin: 14
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12

        SectionHeader {
            Layout.fillWidth: true
            title: "Listeners"
            caption: root.listeners.countText
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            TextField {
                id: filterField

                objectName: "listenerFilter"
                Layout.fillWidth: true
                placeholderText: "Port, name, user, unit or container"
                placeholderTextColor: Kit.Palette.textMuted
                font.family: Fonts.system
                font.pixelSize: 13
                font.weight: Font.Medium
                color: Kit.Palette.textPrimary
                selectionColor: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
                selectedTextColor: Kit.Palette.textPrimary
                leftPadding: 12
                rightPadding: 12
                implicitHeight: 34
                onTextEdited: {
                    root.listeners.filter = text;
                    rows.currentIndex = 0;
                }
                onAccepted: root.pick(rows.currentIndex, true)
                Keys.onDownPressed: root.moveTo(rows.currentIndex)
                Keys.onPressed: event => {
                    if (event.key === Qt.Key_PageDown) {
                        root.moveTo(rows.currentIndex + rows.pageRows);
                        event.accepted = true;
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.74)
                    border.color: filterField.activeFocus ? Kit.Palette.accentCyan : Kit.Palette.hairline
                    border.width: filterField.activeFocus ? 1.4 : 1.0
                }
                Accessible.role: Accessible.EditableText
                Accessible.name: "Filter listeners"
            }
            SecondaryButtonStyle {
                objectName: "refreshListeners"
                text: "Refresh"
                accent: Kit.Palette.accentCyan
                filled: false
                onClicked: root.listeners.refresh()
            }
            SecondaryButtonStyle {
                objectName: "closeListeners"
                text: "Close"
                accent: Kit.Palette.textSecondary
                filled: false
                onClicked: root.close(visualFocus)
            }
        }
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: rows

                objectName: "listenerRows"
                // Rows a page key moves by.
                readonly property int pageRows: Math.max(1, Math.floor(height / 46) - 1)

                anchors.fill: parent
                anchors.margins: -3
                topMargin: 3
                bottomMargin: 3
                leftMargin: 3
                rightMargin: 3
                clip: true
                // Each keystroke refills the rows: the rows in sight take the new texts rather
                // than being built again.
                reuseItems: true
                model: root.listeners
                activeFocusOnTab: true
                boundsBehavior: Flickable.StopAtBounds
                Accessible.role: Accessible.List
                Accessible.name: "Listeners"
                Keys.onPressed: event => {
                    const keys = {
                        [Qt.Key_Down]: currentIndex + 1,
                        [Qt.Key_Up]: currentIndex - 1,
                        [Qt.Key_PageDown]: currentIndex + pageRows,
                        [Qt.Key_PageUp]: currentIndex - pageRows,
                        [Qt.Key_Home]: 0,
                        [Qt.Key_End]: count - 1
                    };
                    if (event.key === Qt.Key_Up && currentIndex === 0)
                        filterField.forceActiveFocus(Qt.TabFocusReason);
                    else if (event.key in keys)
                        root.moveTo(keys[event.key]);
                    else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                        root.pick(currentIndex, true);
                    else
                        return;
                    event.accepted = true;
                }

                delegate: ListenerRow {
                    width: ListView.view.width - 6
                    current: ListView.isCurrentItem
                    ringShown: rows.activeFocus
                    onClicked: root.pick(index, false)
                }
            }
            PlainText {
                objectName: "listenerEmpty"
                anchors.centerIn: parent
                width: parent.width - 40
                visible: root.listeners.count === 0
                text: root.listeners.emptyText
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: 13
                font.weight: Font.Medium
            }
        }
    }
}

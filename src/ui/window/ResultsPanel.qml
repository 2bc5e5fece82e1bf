pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
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
            }
        }

        // No scroll bars: the cards flick or wheel inside the pinned height.
        Flickable {
            objectName: "cardScroll"
            visible: root.processes.length > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            implicitHeight: cards.implicitHeight
            clip: true
            contentWidth: width
            contentHeight: cards.implicitHeight
            boundsBehavior: Flickable.StopAtBounds

            Column {
                id: cards
                width: parent.width
                spacing: 16

                Repeater {
                    model: root.processes

                    Column {
                        id: entry
                        required property var modelData
                        required property int index

                        width: cards.width
                        spacing: 16

                        ProcessResultView {
                            objectName: "processCard"
                            width: entry.width
                            process: entry.modelData
                            isKilling: root.inspector.activeKillPID === entry.modelData.pid
                            onKillAction: root.inspector.requestKill(entry.modelData, false)
                            onForceKillAction: root.inspector.requestKill(entry.modelData, true)
                        }
                        Rectangle {
                            objectName: "cardDivider"
                            visible: entry.modelData.pid !== root.processes[root.processes.length - 1].pid
                            width: entry.width
                            height: 1
                            color: Kit.Palette.hairline
                        }
                    }
                }
            }
        }
    }
}

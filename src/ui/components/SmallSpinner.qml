import QtQuick
import QtQuick.Controls.Basic

// The small indeterminate spinner of the scan button and of a card whose kill is running.
BusyIndicator {
    id: root

    required property color tint

    implicitWidth: 16
    implicitHeight: 16
    padding: 0
    running: visible
    palette.dark: root.tint
    Accessible.ignored: true
}

pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Quaymeter
import Quaymeter.Inspector
import Quaymeter as Kit

// Where the user types a port and starts a scan, and reads the status of the last one.
Item {
    id: root

    required property InspectorState inspector

    readonly property var statusLook: StatusLooks.of(inspector.status)

    readonly property bool fieldHasFocus: portField.activeFocus
    // How much taller the validation line makes the panel while it shows.
    readonly property real validationRoom: validation.visible ? validation.height + 6 : 0
    // Whether the status line had to cut its message: then it is not readable there whole.
    readonly property bool statusCut: statusLine.truncated

    function focusField(reason: int) {
        portField.forceActiveFocus(reason);
    }
    function focusScan(reason: int) {
        scanButton.forceActiveFocus(reason);
    }

    implicitWidth: 306
    implicitHeight: content.implicitHeight + 28

    PanelBackground {
        anchors.fill: parent
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        SectionHeader {
            Layout.fillWidth: true
            title: "Scan Port"
            caption: "lsof -nP"
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 6

            PlainText {
                text: "TCP Port"
                font.pixelSize: 12
                font.weight: Font.DemiBold
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 12

                TextField {
                    id: portField
                    objectName: "portField"
                    Layout.fillWidth: true
                    text: root.inspector.portText
                    placeholderText: "3000"
                    placeholderTextColor: Kit.Palette.textMuted
                    font.family: Fonts.mono
                    font.pixelSize: 25
                    font.weight: Font.Bold
                    color: Kit.Palette.textPrimary
                    selectionColor: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.35)
                    selectedTextColor: Kit.Palette.textPrimary
                    topPadding: 6
                    bottomPadding: 6
                    leftPadding: 14
                    rightPadding: 14
                    // A 25 line is 30 high in the design's face; JetBrains Mono's taller line box
                    // would make the field 3 taller than the button beside it.
                    implicitHeight: 30 + topPadding + bottomPadding
                    inputMethodHints: Qt.ImhDigitsOnly
                    onTextEdited: root.inspector.portText = text
                    onActiveFocusChanged: root.inspector.isPortFocused = activeFocus
                    // Return scans even while the button is disabled.
                    onAccepted: root.inspector.startScan()

                    // The focused outline and glow are the field's focus indication, for the
                    // keyboard and the mouse alike.
                    background: Item {
                        Shadow {
                            objectName: "portFieldGlow"
                            anchors.fill: parent
                            shape: Shadow.RoundedRect
                            radius: 8
                            color: root.inspector.isPortFocused ? Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.28) : "transparent"
                            blurRadius: 14
                        }
                        Rectangle {
                            objectName: "portFieldFrame"
                            anchors.fill: parent
                            radius: 8
                            color: Kit.Palette.withOpacity(Kit.Palette.canvasBottom, 0.74)
                            border.color: root.inspector.isPortFocused ? Kit.Palette.accentCyan : Kit.Palette.hairline
                            border.width: root.inspector.isPortFocused ? 1.4 : 1.0
                        }
                    }

                    Accessible.role: Accessible.EditableText
                    Accessible.name: "TCP Port"
                }

                PrimaryButtonStyle {
                    id: scanButton
                    objectName: "scanButton"
                    readonly property bool scanning: root.inspector.status === ScanStatus.Scanning
                    text: scanning ? "Scanning" : "Scan"
                    enabled: root.inspector.canScan
                    onClicked: root.inspector.startScan()

                    contentItem: Item {
                        implicitWidth: Math.max(96, children[0].implicitWidth)
                        implicitHeight: children[0].implicitHeight

                        RowLayout {
                            // Fills its first child with the spinner at the first scan, from its
                            // file: naming its type would compile it, and the busy indicator
                            // under it, at start.
                            readonly property bool scanning: scanButton.scanning

                            anchors.centerIn: parent
                            spacing: 8
                            onScanningChanged: {
                                if (scanning && children[0].children.length === 0)
                                    Parts.build("SmallSpinner.qml", children[0], {
                                        objectName: "scanSpinner",
                                        tint: Kit.Palette.canvasBottom
                                    });
                            }

                            Item {
                                visible: scanButton.scanning
                                implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
                                implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
                            }
                            SymbolImage {
                                objectName: "scanSymbol"
                                visible: !scanButton.scanning
                                name: "dot.radiowaves.left.and.right"
                                size: 16
                                color: Kit.Palette.canvasBottom
                            }
                            Text {
                                objectName: "scanButtonLabel"
                                text: scanButton.text
                                font: scanButton.font
                                color: Kit.Palette.canvasBottom
                                Accessible.ignored: true
                            }
                        }
                    }
                }
            }

            PlainText {
                id: validation

                objectName: "validationMessage"
                Layout.fillWidth: true
                visible: text.length > 0
                text: root.inspector.validationMessage
                font.pixelSize: 12
                font.weight: Font.Medium
                color: Kit.Palette.accentPink
                wrapMode: Text.Wrap
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Kit.Palette.hairline
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            // Where a screen reader's "read status bar" command looks.
            Accessible.role: Accessible.StatusBar
            Accessible.name: "Status"

            SymbolImage {
                objectName: "statusSymbol"
                Layout.preferredWidth: 18
                Layout.alignment: Qt.AlignTop
                horizontalAlignment: Text.AlignHCenter
                name: root.statusLook.symbol
                size: 15
                color: root.statusLook.colour
            }
            PlainText {
                id: statusLine

                // A tool's error text may run long; only what one line can show is laid out, and
                // what the line cuts off is read on hover or by a screen reader.
                readonly property string whole: root.inspector.statusMessage
                // Before the end is cut, the text shrinks (not below 0.82 of 13: pixel sizes are
                // whole, so 11) and then tightens its letter spacing by up to 0.8 a letter.
                readonly property real naturalWidth: atFullSize.advanceWidth
                readonly property int fittedSize: Math.max(11, Math.min(13, Math.floor(13 * width / Math.max(1, naturalWidth))))
                // Measured at the fitted size: small sizes do not scale down linearly.
                readonly property real overrun: atFittedSize.advanceWidth - width

                objectName: "statusLine"
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                // As high as a full-size line whatever size the text shrinks to: a status that
                // changes length must not move the panels below, nor make them draw anew.
                Layout.preferredHeight: Math.ceil(atFullSize.height)
                text: TextExcerpt.line(root.inspector.statusMessage)
                font.pixelSize: fittedSize
                font.weight: Font.Medium
                font.letterSpacing: overrun > 0 ? -Math.min(0.8, (overrun + 1) / Math.max(1, text.length - 1)) : 0
                maximumLineCount: 1
                elide: Text.ElideRight
                Accessible.description: truncated ? whole : ""

                TextMetrics {
                    id: atFullSize
                    font.family: Fonts.system
                    font.pixelSize: 13
                    font.weight: Font.Medium
                    text: statusLine.text
                }
                TextMetrics {
                    id: atFittedSize
                    font.family: Fonts.system
                    font.pixelSize: statusLine.fittedSize
                    font.weight: Font.Medium
                    text: statusLine.text
                }
                HoverHandler {
                    id: statusHover
                }
                // Made on the first hover over a cut status, from its file: naming its type, a
                // popup, would compile it at start.
                readonly property bool toolTipWanted: statusHover.hovered && statusLine.truncated
                property var toolTip: null

                onToolTipWantedChanged: {
                    if (toolTipWanted && toolTip === null)
                        toolTip = Parts.build("TextToolTip.qml", statusLine, {
                            objectName: "statusToolTip",
                            visible: Qt.binding(() => statusLine.toolTipWanted),
                            text: Qt.binding(() => statusLine.whole)
                        });
                }
            }
        }
    }
}

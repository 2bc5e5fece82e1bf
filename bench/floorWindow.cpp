// The floor for start-up: a Qt Quick window of the program's size built from the program's
// ingredients and nothing more (Controls in the Basic style, Layouts, Shapes, the same font files
// and weights, about as many texts, a field, two buttons, a few symbol glyphs), without the
// program's own look or logic. Whatever the program needs beyond this is its own cost.
#include <QGuiApplication>
#include <QQmlApplicationEngine>

namespace {

const char *const window = R"(
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Shapes

Window {
    width: 850
    height: 540
    visible: true
    flags: Qt.FramelessWindowHint
    color: "#04070d"

    component Caption: Text {
        font.family: "JetBrains Mono"
        font.pixelSize: 11
        font.weight: Font.Medium
        color: "#57738c"
    }
    component Symbol: Text {
        font.family: "Material Icons"
        font.pixelSize: 13
        color: "#3debff"
    }

    ColumnLayout {
        x: 22
        y: 42
        width: 806
        spacing: 8

        RowLayout {
            spacing: 16
            Shape {
                Layout.preferredWidth: 62
                Layout.preferredHeight: 62
                ShapePath {
                    strokeColor: "#3debff"
                    strokeWidth: 1.5
                    fillColor: "transparent"
                    startX: 12; startY: 16
                    PathLine { x: 38; y: 12 }
                    PathLine { x: 42; y: 39 }
                    PathLine { x: 15; y: 41 }
                    PathLine { x: 12; y: 16 }
                }
            }
            ColumnLayout {
                Text {
                    text: "Quaymeter"
                    font.family: "JetBrains Mono"
                    font.pixelSize: 38
                    font.weight: Font.Black
                    color: "#e6f7ff"
                }
                Text {
                    text: "Find it. Kill it. Free the port."
                    font.family: "Inter"
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: "#94b3c7"
                }
            }
            Item { Layout.fillWidth: true }
            ColumnLayout {
                Text {
                    text: "TCP LISTENER INSPECTOR"
                    font.family: "JetBrains Mono"
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    font.letterSpacing: 1.4
                    color: "#7affed"
                }
                Row {
                    spacing: 6
                    Symbol { text: "\ue51e" }
                    Text {
                        text: "Ready"
                        font.family: "Inter"
                        font.pixelSize: 12
                        font.weight: Font.Bold
                        color: "#94b3c7"
                    }
                }
            }
        }

        RowLayout {
            spacing: 14
            ColumnLayout {
                Layout.preferredWidth: 306
                spacing: 12
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 150
                    radius: 8
                    color: "#060b13"
                    border.color: "#294f60"
                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 16
                        RowLayout {
                            Text {
                                text: "TARGET"
                                font.family: "JetBrains Mono"
                                font.pixelSize: 12
                                font.weight: Font.DemiBold
                                color: "#e6f7ff"
                            }
                            Item { Layout.fillWidth: true }
                            Caption { text: "TCP" }
                        }
                        Text {
                            text: "TCP Port"
                            font.family: "Inter"
                            font.pixelSize: 12
                            font.weight: Font.DemiBold
                            color: "#94b3c7"
                        }
                        RowLayout {
                            TextField {
                                Layout.fillWidth: true
                                placeholderText: "3000"
                                font.family: "JetBrains Mono"
                                font.pixelSize: 25
                                font.weight: Font.Bold
                                color: "#e6f7ff"
                            }
                            Button {
                                text: "Scan"
                                font.family: "Inter"
                                font.pixelSize: 13
                                font.weight: Font.Bold
                            }
                        }
                        Text {
                            text: "Type a port between 1 and 65535."
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: "#94b3c7"
                        }
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 170
                    radius: 8
                    color: "#060b13"
                    border.color: "#294f60"
                    Column {
                        x: 16
                        y: 16
                        spacing: 6
                        Text {
                            text: "ACTIVITY"
                            font.family: "JetBrains Mono"
                            font.pixelSize: 12
                            font.weight: Font.DemiBold
                            color: "#e6f7ff"
                        }
                        Repeater {
                            model: 3
                            Row {
                                required property int index
                                spacing: 8
                                Caption { text: "12:00:0" + parent.index }
                                Text {
                                    text: "Quaymeter is ready"
                                    font.family: "Inter"
                                    font.pixelSize: 12
                                    color: "#94b3c7"
                                }
                            }
                        }
                    }
                }
            }
            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 332
                radius: 8
                color: "#060b13"
                border.color: "#294f60"
                Column {
                    anchors.centerIn: parent
                    spacing: 8
                    Symbol {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "\ue8e1"
                        font.pixelSize: 40
                    }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Enter a port to inspect"
                        font.family: "Inter"
                        font.pixelSize: 16
                        font.weight: Font.Bold
                        color: "#e6f7ff"
                    }
                    Text {
                        text: "Every process listening on it shows here."
                        font.family: "Inter"
                        font.pixelSize: 12
                        font.weight: Font.Medium
                        color: "#94b3c7"
                    }
                    Button {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Kill"
                        font.family: "Inter"
                        font.pixelSize: 12
                        font.weight: Font.Bold
                    }
                }
            }
        }

        RowLayout {
            Item { Layout.fillWidth: true }
            Text {
                text: "Provided by Brennick Research and Development"
                font.family: "Inter"
                font.pixelSize: 11
                font.weight: Font.Medium
                color: "#94b3c7"
            }
            Symbol {
                text: "\uf1e1"
                font.pixelSize: 9
                font.weight: Font.Bold
            }
        }
    }
}
)";

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData(window);
    return application.exec();
}

pragma ComponentBehavior: Bound
import QtQuick
import Quaymeter
import Quaymeter as Kit

// The "AppLogo" image when the resource folder holds a valid one, else the drawn emblem and the
// wordmark. The folder is asked each time the view is built.
Item {
    id: root

    readonly property url logoUrl: Assets.imageUrl(Assets.appLogo)
    readonly property bool hasImage: String(logoUrl) !== ""

    implicitWidth: hasImage ? picture.implicitWidth : fallback.implicitWidth
    implicitHeight: hasImage ? picture.implicitHeight : fallback.implicitHeight
    Accessible.role: Accessible.Graphic
    Accessible.name: "Quaymeter"

    Item {
        objectName: "appLogoImage"
        anchors.fill: parent
        visible: root.hasImage

        Shadow {
            anchors.fill: parent
            shape: Shadow.Image
            source: root.logoUrl
            color: Kit.Palette.withOpacity(Kit.Palette.accentCyan, 0.24)
            blurRadius: 14
        }
        Image {
            id: picture

            anchors.fill: parent
            source: root.logoUrl
            fillMode: Image.PreserveAspectFit
            smooth: true
            mipmap: true
        }
    }
    // The wordmark is wider than the header gives the logo; it runs on to the right rather than
    // off the window's left edge.
    Row {
        id: fallback

        objectName: "appLogoFallback"
        anchors.verticalCenter: parent.verticalCenter
        visible: !root.hasImage
        spacing: 16

        NetworkIcon {
            objectName: "appLogoEmblem"
            anchors.verticalCenter: parent.verticalCenter
            width: 62
            height: 62
        }
        PlainText {
            objectName: "appLogoWordmark"
            anchors.verticalCenter: parent.verticalCenter
            text: "Quaymeter"
            monospaced: true
            font.pixelSize: 38
            font.weight: Font.Black
            color: Kit.Palette.textPrimary
            Accessible.ignored: true
        }
    }
}

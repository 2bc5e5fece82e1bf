import QtQuick
import Quaymeter

// Placed behind a view, reports that view's height to the ancestor's preference key.
Item {
    id: root

    required property ViewHeightPreferenceKey preference

    // The height may be set before the key is.
    onHeightChanged: preference?.publish(root, height)
    Component.onCompleted: preference.publish(root, height)
    Component.onDestruction: preference.withdraw(root)
}

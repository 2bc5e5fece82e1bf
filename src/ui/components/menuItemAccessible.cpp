#include "menuItemAccessible.h"

#include <QtQuick/private/qaccessiblequickitem_p.h>

namespace {

class PressFirst final : public QAccessibleQuickItem {
public:
    using QAccessibleQuickItem::QAccessibleQuickItem;

    QStringList actionNames() const override {
        QStringList names = QAccessibleQuickItem::actionNames();
        const QString press = QAccessibleActionInterface::pressAction();
        if (names.removeAll(press) > 0)
            names.prepend(press);
        return names;
    }
};

// Asked for each class of an object from the most derived: this class comes before QQuickItem,
// for which Qt Quick makes its own.
QAccessibleInterface *menuItemFactory(const QString &className, QObject *object) {
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || className != QLatin1String("QQuickMenuItem"))
        return nullptr;
    return new PressFirst(item);
}

} // namespace

void MenuItemAccessible::install() {
    QAccessible::installFactory(menuItemFactory);
}

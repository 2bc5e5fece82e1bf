#include "tabOrder.h"

void TabOrder::placeByIndex(QQuickItem *delegate) {
    if (!delegate || !delegate->parentItem())
        return;
    const int index = delegate->property("index").toInt();
    QQuickItem *next = nullptr;
    int nextIndex = 0;
    for (QQuickItem *sibling : delegate->parentItem()->childItems()) {
        const QVariant other = sibling->property("index");
        if (sibling == delegate || !other.isValid() || other.toInt() <= index)
            continue;
        if (!next || other.toInt() < nextIndex) {
            next = sibling;
            nextIndex = other.toInt();
        }
    }
    if (next)
        delegate->stackBefore(next);
}

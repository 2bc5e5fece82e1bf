#pragma once

// Qt 6.4 lists a menu item's accessible actions as SetFocus, then the Press that its
// Accessible.onPressAction answers (a Button's list starts with Press). Assistive technologies
// invoke an element's first action as its own, so pressing a menu item took focus and did nothing
// else. With this installed, before the first window, a menu item lists Press first.
namespace MenuItemAccessible {
void install();
}

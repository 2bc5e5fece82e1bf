pragma Singleton
import QtQml

// Builds a part of the window the first time it is wanted, and only then: most windows never show
// an alert, a tooltip, a menu or even a card, and building them, or compiling their files, would
// delay the window's first frame. A part named by its file is compiled when first built; one
// declared as a Component beside its use is compiled with that file but built only when wanted.
// By hand rather than with a Loader: Qt 6.4's Loader refuses a component bound to its file.
QtObject {
    // `part` is a Component, or the name of one of this module's files, which naming its type
    // would compile at start.
    function build(part: var, parent: QtObject, properties: var): QtObject {
        const component = typeof part === "string" ? Qt.createComponent(part) : part;
        return component.createObject(parent, properties ?? {});
    }
}

#pragma once

#include <QString>

// The folder of named resources that ships beside the program: share/quaymeter next to the
// executable in the build tree, ../share/quaymeter from an installed bin/.
class ResourceBundle {
public:
    static QString directory();
    // Points every later lookup at another folder; an empty path restores the default.
    static void setDirectory(const QString &path);

    // The file "name.extension", or empty when it does not exist.
    static QString path(const QString &name, const QString &extension);
    // A file named `name` with any image extension that reads as a valid image, or empty.
    static QString imagePath(const QString &name);
};

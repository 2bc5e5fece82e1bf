#pragma once

#include <QQmlApplicationEngine>

// The application: sets its icon from the resource folder, then opens the first window and
// runs the event loop until the user quits or closes the last window.
class QuaymeterApp {
public:
    QuaymeterApp();

    int run();

    // Sets "AppIcon.icns" from the resource folder as the running application's icon. A missing
    // or unreadable file leaves the default icon and says nothing; returns whether it was set.
    static bool setIconFromResources();

private:
    QQmlApplicationEngine m_engine;
};

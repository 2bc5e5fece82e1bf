#pragma once

#include <QQmlApplicationEngine>
#include <QSGRendererInterface>
#include <QString>
#include <optional>

// The application: opens the first window, sets its icon once that window has drawn, and runs
// the event loop until the user quits or closes the last window.
class QuaymeterApp {
public:
    QuaymeterApp();

    // Name, version and desktop entry, so --version, the X11 WM_CLASS and the Wayland app id
    // agree with the installed files. Needs no application object yet.
    static void setIdentity();

    // Without a GPU render node (virtual machines, remote desktops, containers) Mesa would draw
    // OpenGL in software, which starts slower and takes more memory than Qt's own software scene
    // graph; QT_QUICK_BACKEND still decides when set. Must run before the application object.
    static void chooseRenderer();
    // Qt's software scene graph draws a frame only when one is asked for, with no display refresh
    // to pace it: draw it at once rather than after Qt's default 5 ms wait for more changes. Timed
    // animations still step at their own rate; an Animator would then draw without pause, so the
    // window uses none.
    static void useGraphicsApi(QSGRendererInterface::GraphicsApi api);

    // Opens the first window; with a port text, types it into the window and scans it.
    int run(const std::optional<QString> &portText = std::nullopt);

    // Sets the icon files shipped beside the resource folder as the application's icon. Missing
    // or unreadable files leave the default icon and say nothing; returns whether it was set.
    static bool setIconFromResources();

private:
    static void setIcon();

    QQmlApplicationEngine m_engine;
};

// Writes a PNG of the window for each listed state into the folder given as the only argument,
// so the look can be checked without a desktop. Every state is reached through the real flows:
// real listening sockets, the real lsof and the real /bin/kill. Add a state by adding a Scene.
#include "inspectorState.h"
#include "listenerGroup.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <csignal>
#include <cstdio>
#include <functional>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

namespace {

// One window's turn in front of the camera.
struct Shot {
    QQuickWindow *window;
    InspectorState &state;
    QImage image;

    bool grabWhenSettled() {
        QTest::qWait(400);
        image = window->grabWindow();
        return true;
    }

    // Grabs on the first turn of the event loop after `changed` leaves the state `ready`: that
    // turn comes before any tool's answer, so passing states like a running scan are caught.
    template <typename Signal> void grabWhen(Signal changed, std::function<bool()> ready) {
        QObject::connect(
            &state, changed, window,
            [this, ready] {
                if (image.isNull() && ready())
                    image = window->grabWindow();
            },
            Qt::QueuedConnection);
    }

    bool scan(quint16 port) {
        state.setPortText(QString::number(port));
        state.startScan();
        return QTest::qWaitFor([this] { return scanEnded(); }, 10000);
    }

    // Moves the mouse to the middle of the first item named `name`, then clicks `button` there.
    bool pointAt(QQuickItem *root, const QString &name, Qt::MouseButton button) {
        for (QQuickItem *item : root->childItems()) {
            if (item->objectName() != name) {
                if (pointAt(item, name, button))
                    return true;
                continue;
            }
            const QPoint at = item->mapToScene({item->width() / 2, item->height() / 2}).toPoint();
            QTest::mouseMove(window, at);
            if (button != Qt::NoButton)
                QTest::mouseClick(window, button, {}, at);
            return true;
        }
        return false;
    }

    // Gives the first item named `name` keyboard focus as Tab would, so its focus ring shows.
    bool tabTo(const QString &name) {
        QQuickItem *target = find(window->contentItem(), name);
        if (target)
            target->forceActiveFocus(Qt::TabFocusReason);
        return target && grabWhenSettled();
    }

    static QQuickItem *find(QQuickItem *root, const QString &name) {
        for (QQuickItem *item : root->childItems()) {
            if (item->objectName() == name)
                return item;
            if (QQuickItem *found = find(item, name))
                return found;
        }
        return nullptr;
    }

    bool scanEnded() const {
        return state.status() != ScanStatus::idle && state.status() != ScanStatus::scanning;
    }
};

struct Listeners {
    ListenerGroup alone{1};
    ListenerGroup shared{3};
    ListenerGroup many{12};
    quint16 freePort = ListenerGroup(1).port();
};

struct Scene {
    const char *name;
    std::function<bool(Shot &, const Listeners &)> run;
};

bool isScanning(const Shot &shot) {
    return shot.state.status() == ScanStatus::scanning;
}

const Scene scenes[] = {
    {"idle", [](Shot &shot, const Listeners &) { return shot.grabWhenSettled(); }},
    {"scanning",
     [](Shot &shot, const Listeners &listeners) {
         shot.grabWhen(&InspectorState::statusChanged, [&shot] { return isScanning(shot); });
         return shot.scan(listeners.shared.port());
     }},
    {"in-use-one",
     [](Shot &shot, const Listeners &listeners) {
         return shot.scan(listeners.alone.port()) && shot.grabWhenSettled();
     }},
    {"in-use-three",
     [](Shot &shot, const Listeners &listeners) {
         return shot.scan(listeners.shared.port()) && shot.grabWhenSettled();
     }},
    {"available",
     [](Shot &shot, const Listeners &listeners) {
         return shot.scan(listeners.freePort) && shot.grabWhenSettled();
     }},
    {"error",
     [](Shot &shot, const Listeners &) {
         shot.state.setPortText(QStringLiteral("80a"));
         shot.state.startScan();
         return shot.grabWhenSettled();
     }},
    {"alert",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.shared.port()) || shot.state.processes().size() != 3)
             return false;
         shot.state.requestKill(shot.state.processes().at(1), true);
         return shot.grabWhenSettled();
     }},
    // Who the listener is, over its command name.
    {"identity-tooltip",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.alone.port()) || !shot.grabWhenSettled() ||
             !shot.pointAt(shot.window->contentItem(), QStringLiteral("commandName"), Qt::NoButton))
             return false;
         QTest::qWait(800); // the tooltip's delay and fade
         return shot.grabWhenSettled();
     }},
    // Right click on the card's lsof line, which is selectable text.
    {"context-menu",
     [](Shot &shot, const Listeners &listeners) {
         return shot.scan(listeners.alone.port()) && shot.grabWhenSettled() &&
                shot.pointAt(shot.window->contentItem(), QStringLiteral("outputValue"),
                             Qt::RightButton) &&
                shot.grabWhenSettled();
     }},
    // The listener ignores SIGTERM, so the re-check finds it again.
    {"killing",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.shared.port()) || shot.state.processes().size() != 3)
             return false;
         shot.grabWhen(&InspectorState::activeKillPIDChanged,
                       [&shot] { return shot.state.activeKillPID() != 0; });
         shot.state.requestKill(shot.state.processes().at(0), false);
         shot.state.confirmPendingKill();
         return QTest::qWaitFor([&shot] { return !shot.image.isNull(); }, 10000) &&
                QTest::qWaitFor([&shot] { return !shot.state.activeKillPID(); }, 10000);
     }},
    // The listener ignores SIGTERM: its card says so, with Force Kill focused.
    {"survived-term",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.alone.port()) || !shot.tabTo(QStringLiteral("killButton")))
             return false;
         QTest::keyClick(shot.window, Qt::Key_Return);
         QTest::qWait(300);
         QTest::keyClick(shot.window, Qt::Key_Tab);
         QTest::keyClick(shot.window, Qt::Key_Return);
         return QTest::qWaitFor([&shot] { return shot.state.survivedTermPID() != 0; }, 10000) &&
                shot.grabWhenSettled();
     }},
    // The line under the field; nothing above or beside it may move.
    {"validation",
     [](Shot &shot, const Listeners &) {
         shot.state.startScan();
         return shot.grabWhenSettled();
     }},
    // More cards than fit: the lower edge fades; the status names twelve listeners.
    {"many-cards",
     [](Shot &shot, const Listeners &listeners) {
         return shot.scan(listeners.many.port()) && shot.grabWhenSettled();
     }},
    // Scrolled half way: both edges fade.
    {"many-cards-scrolled",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.many.port()))
             return false;
         QQuickItem *cards = Shot::find(shot.window->contentItem(), QStringLiteral("cardScroll"));
         cards->setProperty("contentY", 500);
         return shot.grabWhenSettled();
     }},
    // Scrolled down to older lines when a new one arrives: the cue shows.
    {"activity-new",
     [](Shot &shot, const Listeners &) {
         for (int i = 1; i <= 8; ++i)
             shot.state.appendActivity(QStringLiteral("Scanned port %1").arg(3000 + i));
         QQuickItem *log = Shot::find(shot.window->contentItem(), QStringLiteral("activityScroll"));
         QTest::qWait(100);
         log->setProperty("contentY", log->property("contentHeight").toReal() - log->height());
         QTest::qWait(100);
         shot.state.appendActivity(QStringLiteral("Scanned port 4000"));
         return shot.grabWhenSettled();
     }},
    {"focus-field",
     [](Shot &shot, const Listeners &) { return shot.tabTo(QStringLiteral("portField")); }},
    {"focus-scan",
     [](Shot &shot, const Listeners &) { return shot.tabTo(QStringLiteral("scanButton")); }},
    {"focus-link",
     [](Shot &shot, const Listeners &) { return shot.tabTo(QStringLiteral("creditLink")); }},
    {"focus-window-button",
     [](Shot &shot, const Listeners &) { return shot.tabTo(QStringLiteral("closeButton")); }},
    {"focus-kill",
     [](Shot &shot, const Listeners &listeners) {
         // Grabbed again once the identity tooltip's delay has surely passed.
         return shot.scan(listeners.alone.port()) &&
                shot.tabTo(QStringLiteral("forceKillButton")) && shot.grabWhenSettled();
     }},
    {"focus-alert",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.alone.port()))
             return false;
         shot.state.requestKill(shot.state.processes().at(0), false);
         QTest::qWait(300);
         return shot.tabTo(QStringLiteral("alertDestructive"));
     }},
    // Return on a card's Kill: the alert opens on Cancel, with its ring.
    {"alert-by-keyboard",
     [](Shot &shot, const Listeners &listeners) {
         if (!shot.scan(listeners.alone.port()) || !shot.tabTo(QStringLiteral("killButton")))
             return false;
         QTest::keyClick(shot.window, Qt::Key_Return);
         return shot.grabWhenSettled();
     }},
    // A scan that fails with a long message (lsof's outcome lost to an ignored SIGCHLD): the status
    // line cuts it, the results show it whole.
    {"error-long-message",
     [](Shot &shot, const Listeners &listeners) {
         std::signal(SIGCHLD, SIG_IGN);
         const bool scanned = shot.scan(listeners.alone.port());
         std::signal(SIGCHLD, SIG_DFL);
         return scanned && shot.grabWhenSettled();
     }},
    // The log reached with Tab and scrolled to its oldest lines with End.
    {"log-scrolled",
     [](Shot &shot, const Listeners &) {
         for (int i = 1; i <= 8; ++i)
             shot.state.appendActivity(QStringLiteral("Scanned port %1").arg(3000 + i));
         if (!shot.tabTo(QStringLiteral("activityScroll")))
             return false;
         QTest::keyClick(shot.window, Qt::Key_End);
         return shot.grabWhenSettled();
     }},
    {"focus-listeners-button",
     [](Shot &shot, const Listeners &) { return shot.tabTo(QStringLiteral("listenersButton")); }},
    // Every listener, over the results, opened by its key with the filter focused.
    {"listeners",
     [](Shot &shot, const Listeners &) {
         QTest::keyClick(shot.window, Qt::Key_L, Qt::ControlModifier);
         return shot.grabWhenSettled();
     }},
    // Filtered by a name, the keyboard on the rows: the chosen row has its ring.
    {"listeners-filtered",
     [](Shot &shot, const Listeners &) {
         QTest::keyClick(shot.window, Qt::Key_L, Qt::ControlModifier);
         QTest::qWait(300);
         for (const char c : "listener")
             if (c)
                 QTest::keyClick(shot.window, c);
         QTest::keyClick(shot.window, Qt::Key_Down);
         QTest::keyClick(shot.window, Qt::Key_Down);
         return shot.grabWhenSettled();
     }},
    {"listeners-empty",
     [](Shot &shot, const Listeners &) {
         QTest::keyClick(shot.window, Qt::Key_L, Qt::ControlModifier);
         QTest::qWait(300);
         for (const char c : "no-such-thing")
             if (c)
                 QTest::keyClick(shot.window, c);
         return shot.grabWhenSettled();
     }},
};

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
    const Listeners listeners;
    if (!listeners.alone.isListening() || !listeners.shared.isListening()) {
        std::fprintf(stderr, "could not open the listening sockets\n");
        return 1;
    }

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    const QQmlComponent probe(&engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
    auto *windows =
        engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
    if (probe.isError() || !windows)
        return 1;

    for (const Scene &scene : scenes) {
        QQuickWindow *window = windows->openWindow();
        // Active, as the window a user types into is: focus follows the keyboard only there.
        if (window)
            window->requestActivate();
        if (!window || !QTest::qWaitForWindowExposed(window) ||
            !QTest::qWaitForWindowActive(window))
            return 1;
        auto *content = window->findChild<QQuickItem *>(QStringLiteral("contentView"));
        Shot shot{window, *content->property("inspector").value<InspectorState *>(), {}};
        const QString file = output.filePath(QStringLiteral("screenshot-%1.png").arg(scene.name));
        if (!scene.run(shot, listeners) || shot.image.isNull() || !shot.image.save(file)) {
            std::fprintf(stderr, "scene %s did not come about\n", scene.name);
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
        // Let a running scan end before the window goes.
        if (!QTest::qWaitFor([&shot] { return !isScanning(shot); }, 10000))
            return 1;
        window->close();
    }
    return 0;
}

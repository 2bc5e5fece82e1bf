#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The built program on a real X display: one fixed-size window, the window shortcuts, and no
// warnings from Qt on its output.
class ProgramTest : public QObject {
    Q_OBJECT

    static QString run(const QStringList &arguments, const QString &tool = "xdotool") {
        QProcess process;
        process.start(tool, arguments);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    static QStringList windowsOf(qint64 pid) {
        const QString found = run({"search", "--onlyvisible", "--pid", QString::number(pid)});
        return found.isEmpty() ? QStringList() : found.split('\n');
    }

private slots:
    void opensOneFixedWindowQuietly() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (run under xvfb-run)");
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUAYMETER_PROGRAM), {});
        QVERIFY(program.waitForStarted());

        QTRY_COMPARE_WITH_TIMEOUT(windowsOf(program.processId()).size(), 1, 60000);
        const QString window = windowsOf(program.processId()).first();
        const QString info = run({"-id", window}, "xwininfo");
        QVERIFY2(info.contains("Width: 850") && info.contains("Height: 540"), qPrintable(info));
        const QString hints = run({"-id", window, "WM_NORMAL_HINTS"}, "xprop");
        QVERIFY2(hints.contains("minimum size: 850 by 540") &&
                     hints.contains("maximum size: 850 by 540"),
                 qPrintable(hints));

        run({"windowfocus", "--sync", window});
        run({"key", "--clearmodifiers", "ctrl+n"});
        QTRY_COMPARE_WITH_TIMEOUT(windowsOf(program.processId()).size(), 2, 30000);
        run({"key", "--clearmodifiers", "ctrl+w"});
        QTRY_COMPARE_WITH_TIMEOUT(windowsOf(program.processId()).size(), 1, 60000);
        run({"windowfocus", "--sync", windowsOf(program.processId()).first()});
        run({"key", "--clearmodifiers", "ctrl+q"});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);

        const QString output =
            QString::fromUtf8(program.readAllStandardError() + program.readAllStandardOutput());
        QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "tst_program.moc"

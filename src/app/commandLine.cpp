#include "commandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

// Qt's own options for every GUI application, which QGuiApplication removes from argv itself.
const QStringList toolkitOptionsWithValue = {
    u"platform"_qs,        u"platformpluginpath"_qs, u"platformtheme"_qs, u"plugin"_qs,
    u"qwindowgeometry"_qs, u"qwindowicon"_qs,        u"qwindowtitle"_qs,  u"session"_qs,
    u"display"_qs,         u"geometry"_qs,           u"style"_qs,         u"stylesheet"_qs};
const QStringList toolkitFlags = {u"reverse"_qs, u"widgetcount"_qs};
const QStringList toolkitOptionsWithEquals = {u"qmljsdebugger="_qs, u"style="_qs, u"stylesheet="_qs,
                                              u"dialogs="_qs, u"fontengine="_qs};

void print(const QString &text) {
    std::fputs(qPrintable(text), stdout);
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the processes listening on a TCP port and stops them on request."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PORT"),
                                 QStringLiteral("TCP port to scan as soon as the window opens."),
                                 QStringLiteral("[PORT]"));
    const bool parsed = parser.parse(arguments);
    // Without an application object the parser cannot name the program.
    const QString usage = parser.helpText().replace(
        QStringLiteral("<executable_name>"),
        QFileInfo(arguments.value(0, QStringLiteral("quaymeter"))).fileName());
    if (parsed && (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))) {
        print(usage);
        if (parser.isSet(QStringLiteral("help-all")))
            print(QStringLiteral("\nQt options, passed to Qt:\n  -") +
                  (toolkitOptionsWithValue + toolkitFlags).join(QStringLiteral("\n  -")) +
                  QStringLiteral("\n  -") +
                  toolkitOptionsWithEquals.join(QStringLiteral("...\n  -")) +
                  QStringLiteral("...\n"));
        m_exitCode = 0;
        return;
    }
    if (parsed && parser.isSet(version)) {
        print(QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
              u'\n');
        m_exitCode = 0;
        return;
    }
    const QStringList positional = parser.positionalArguments();
    if (!parsed || positional.size() > 1) {
        const QString error = parsed ? QStringLiteral("Too many arguments.") : parser.errorText();
        std::fprintf(stderr, "%s\n\n%s", qPrintable(error), qPrintable(usage));
        m_exitCode = 2;
        return;
    }
    if (!positional.isEmpty())
        m_portText = positional.first();
}

QStringList CommandLine::withoutToolkitOptions(const QStringList &arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (i == 0 || !argument.startsWith(u'-') || argument == u"--") {
            kept.append(argument);
            continue;
        }
        const QString name = argument.mid(argument.startsWith(u"--") ? 2 : 1);
        if (toolkitOptionsWithValue.contains(name))
            ++i;
        else if (!toolkitFlags.contains(name) &&
                 std::none_of(toolkitOptionsWithEquals.begin(), toolkitOptionsWithEquals.end(),
                              [&name](const QString &prefix) { return name.startsWith(prefix); }))
            kept.append(argument);
    }
    return kept;
}

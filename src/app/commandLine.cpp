#include "commandLine.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {

void describe(QCommandLineParser &parser) {
    parser.setApplicationDescription(
        QStringLiteral("Shows the processes listening on a TCP port and stops them on request."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PORT"),
                                 QStringLiteral("TCP port to scan as soon as the window opens."),
                                 QStringLiteral("[PORT]"));
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments) {
    answerHelpAndVersion(arguments);
    QCommandLineParser parser;
    describe(parser);
    const bool parsed = parser.parse(arguments);
    const QStringList positional = parser.positionalArguments();
    if (!parsed || positional.size() > 1) {
        const QString error = parsed ? QStringLiteral("Too many arguments.") : parser.errorText();
        std::fprintf(stderr, "%s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
        m_exitCode = 2;
        return;
    }
    if (!positional.isEmpty())
        m_portText = positional.first();
}

void CommandLine::answerHelpAndVersion(const QStringList &arguments) {
    QCommandLineParser parser;
    describe(parser);
    // Arguments that do not parse here may still hold Qt's own options: the full reading judges
    // them later.
    if (!parser.parse(arguments))
        return;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
        parser.isSet(QStringLiteral("version")))
        parser.process(arguments); // prints and exits
}

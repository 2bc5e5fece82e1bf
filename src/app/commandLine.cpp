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

bool asksForInformation(const QCommandLineParser &parser) {
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
           parser.isSet(QStringLiteral("version"));
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    describe(parser);
    const bool parsed = parser.parse(arguments);
    if (parsed && ::asksForInformation(parser))
        parser.process(arguments); // prints the help or the version and exits
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

bool CommandLine::asksForInformation(const QStringList &arguments) {
    QCommandLineParser parser;
    describe(parser);
    return parser.parse(arguments) && ::asksForInformation(parser);
}

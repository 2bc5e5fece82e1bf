#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line: quaymeter [--help] [--version] [PORT].
class CommandLine {
public:
    // Reads the arguments once Qt has taken its own options (-platform, ...) out of them. Help
    // and version are printed and end the program; a usage error is printed with the usage and
    // sets exitCode to 2.
    explicit CommandLine(const QStringList &arguments);

    // Whether the arguments ask only for help or the version, which need no display. Works
    // before any application object exists.
    static bool asksForInformation(const QStringList &arguments);

    std::optional<int> exitCode() const { return m_exitCode; }
    // The PORT argument exactly as given: the window judges it like typed text.
    const std::optional<QString> &portText() const { return m_portText; }

private:
    std::optional<int> m_exitCode;
    std::optional<QString> m_portText;
};

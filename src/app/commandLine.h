#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line: quaymeter [--help] [--version] [PORT]. It is judged before the
// platform starts, so every answer below comes with or without a display.
class CommandLine {
public:
    // Help and version are printed and set exitCode to 0; a usage error is printed with the
    // usage and sets exitCode to 2. The options Qt takes for itself (-platform, -display, ...)
    // are left to Qt.
    explicit CommandLine(const QStringList &arguments);

    std::optional<int> exitCode() const { return m_exitCode; }
    // The PORT argument exactly as given: the window judges it like typed text.
    const std::optional<QString> &portText() const { return m_portText; }

    // The arguments without those the Qt application object takes for itself.
    static QStringList withoutToolkitOptions(const QStringList &arguments);

private:
    std::optional<int> m_exitCode;
    std::optional<QString> m_portText;
};

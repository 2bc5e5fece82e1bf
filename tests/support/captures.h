#pragma once

#include "commandRunner.h"
#include "processIdentity.h"

#include <QFile>
#include <QString>
#include <tuple>

// What the real Docker and Podman printed, and /proc of the processes that held their ports,
// captured byte for byte on this machine.
inline QByteArray captured(const QString &name) {
    QFile file(QStringLiteral(QUAYMETER_CAPTURES "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing capture");
}

// A captured run of the tool: a *.stderr capture is what it wrote to standard error.
inline CommandResult capturedRun(const QString &name, qint32 exitCode = 0) {
    const QString text = QString::fromUtf8(captured(name));
    return name.endsWith(u".stderr") ? CommandResult{{}, text, exitCode}
                                     : CommandResult{text, {}, exitCode};
}

// The identity of a captured holder, read as ProcessIdentity::read reads /proc.
inline ProcessIdentity capturedIdentity(const QString &folder) {
    const auto file = [&folder](const char *name) { return captured(folder + u'/' + name); };
    ProcessIdentity::ProcTexts texts;
    std::tie(texts.comm, texts.cmdline, texts.cgroup) =
        std::tuple(file("comm"), file("cmdline"), file("cgroup"));
    texts.stat = "7 (x) S 1 7";
    texts.executable = QString::fromUtf8(file("exe")).trimmed();
    return ProcessIdentity::parse(texts, 100);
}

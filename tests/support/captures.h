#pragma once

#include "processIdentity.h"

#include <QFile>
#include <QString>

// What the real Docker and Podman printed, and /proc of the processes that held their ports,
// captured byte for byte on this machine.
inline QByteArray captured(const QString &name) {
    QFile file(QStringLiteral(QUAYMETER_CAPTURES "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing capture");
}

// The identity of a captured holder, read as ProcessIdentity::read reads /proc.
inline ProcessIdentity capturedIdentity(const QString &folder, const QByteArray &parentComm = {}) {
    ProcessIdentity::ProcTexts texts;
    texts.comm = captured(folder + QStringLiteral("/comm"));
    texts.cmdline = captured(folder + QStringLiteral("/cmdline"));
    texts.cgroup = captured(folder + QStringLiteral("/cgroup"));
    texts.executable = QString::fromUtf8(captured(folder + QStringLiteral("/exe"))).trimmed();
    texts.parentComm = parentComm;
    texts.stat = "7 (x) S 1 7";
    return ProcessIdentity::parse(texts, 100);
}

#include "administratorService.h"

#include "helperProtocol.h"
#include "portScannerService.h"
#include "processKillerService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

const QString AdministratorService::pkexecPath = QStringLiteral("/usr/bin/pkexec");

QString AdministratorError::errorDescription() const {
    switch (m_case) {
    case Case::dismissed:
        return QStringLiteral("Authentication was dismissed, so nothing ran as administrator.");
    case Case::notAuthorized:
        return QStringLiteral(
            "You are not authorized to do this as administrator, so nothing ran.");
    case Case::noAgent:
        return QStringLiteral("No authentication agent is running to ask for the administrator "
                              "password, so nothing ran.");
    case Case::pkexecMissing:
        return QStringLiteral("Running as administrator needs ") +
               AdministratorService::pkexecPath + QStringLiteral(", which could not be started: ") +
               m_detail;
    case Case::refused:
        return QStringLiteral("Refused as administrator: ") + m_detail;
    case Case::failed:
        break;
    }
    return QStringLiteral("Could not run as administrator. ") + m_detail;
}

QString AdministratorService::locateHelper() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString folder =
        QStringLiteral(QUAYMETER_HELPER_FOLDER "/") + QString::fromLatin1(HelperProtocol::fileName);
    const QString built = QDir::cleanPath(programDir.filePath(folder));
    const QString installed = QDir::cleanPath(programDir.filePath(QStringLiteral("../") + folder));
    return QFileInfo(built).isFile() || !QFileInfo(installed).isFile() ? built : installed;
}

bool AdministratorService::installedPolicyNames(const QString &helperPath) {
    QFile policy(QString::fromLatin1(HelperProtocol::policyFile));
    return policy.open(QIODevice::ReadOnly) && policyNames(policy.readAll(), helperPath);
}

bool AdministratorService::policyNames(const QByteArray &policy, const QString &helperPath) {
    QXmlStreamReader reader(policy);
    int named = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"annotate" ||
            reader.attributes().value(QLatin1String("key")) !=
                u"org.freedesktop.policykit.exec.path")
            continue;
        if (reader.readElementText() != helperPath)
            return false;
        ++named;
    }
    return !reader.hasError() && named > 0;
}

AdministratorService::AdministratorService(RunStoppableCommand run, QString helperPath,
                                           PolicyNamesHelper policyNamesHelper)
    : m_run(std::move(run)), m_helperPath(std::move(helperPath)),
      m_policyNamesHelper(std::move(policyNamesHelper)) {}

AdministratorService::AdministratorService(RunCommand run, QString helperPath,
                                           PolicyNamesHelper policyNamesHelper)
    : AdministratorService([run = std::move(run)](const QString &path, const QStringList &arguments,
                                                  std::stop_token) { return run(path, arguments); },
                           std::move(helperPath), std::move(policyNamesHelper)) {}

bool AdministratorService::available() const {
    return m_policyNamesHelper && m_policyNamesHelper(m_helperPath);
}

QStringList AdministratorService::pkexecArguments(const QStringList &request) const {
    // Without a desktop's agent pkexec would ask on a terminal that no window has.
    return QStringList{QStringLiteral("--disable-internal-agent"), m_helperPath} + request;
}

std::optional<AdministratorError> AdministratorService::classify(const CommandResult &result) {
    using Case = AdministratorError::Case;
    const QString text = result.standardError.trimmed();
    const QString refusal = QString::fromLatin1(HelperProtocol::refusalPrefix);
    if (result.exitCode == HelperProtocol::refusedExitCode && text.startsWith(refusal))
        return AdministratorError(Case::refused, text.mid(refusal.size()));
    // pkexec's own outcomes; lsof and kill never exit with these.
    if (result.exitCode == 126)
        return AdministratorError(Case::dismissed);
    if (result.exitCode != 127)
        return std::nullopt;
    if (text.contains(u"Request dismissed"))
        return AdministratorError(Case::dismissed);
    if (text.contains(u"Not authorized"))
        return AdministratorError(Case::notAuthorized);
    if (text.contains(u"No authentication agent found") ||
        text.contains(u"Error creating textual authentication agent"))
        return AdministratorError(Case::noAgent);
    return AdministratorError(
        Case::failed, text.isEmpty() ? QStringLiteral("pkexec exited with status 127.") : text);
}

QCoro::Task<CommandResult> AdministratorService::run(QStringList request,
                                                     std::stop_token stop) const {
    // Copies: the service may be gone (its window closed) by the time pkexec answers.
    const RunStoppableCommand run = m_run;
    const QStringList arguments = pkexecArguments(request);
    CommandResult result;
    try {
        auto running = run(pkexecPath, arguments, stop);
        result = co_await running;
    } catch (const CommandRunnerError &error) {
        if (error.errorCase() == CommandRunnerError::Case::launchFailed)
            throw AdministratorError(AdministratorError::Case::pkexecMissing, error.reason());
        throw;
    }
    if (const auto error = classify(result))
        throw *error;
    co_return result;
}

QCoro::Task<QList<PortProcess>> AdministratorService::findListeners(qint64 port,
                                                                    std::stop_token stop) const {
    auto listing =
        run({QString::fromLatin1(HelperProtocol::listOperation), QString::number(port)}, stop);
    const CommandResult result = co_await listing;
    if (stop.stop_requested())
        co_return {};
    auto reading = PortScannerService::recordsFrom(result, port);
    co_return co_await reading;
}

QCoro::Task<void> AdministratorService::kill(pid_t pid, bool force, qint64 port,
                                             qint64 startTime) const {
    if (pid <= 0)
        throw ProcessKillerError::failed(pid, QStringLiteral("PID must be a positive number."));
    // The window refuses it before this; the helper refuses it again.
    if (pid == 1)
        throw ProcessKillerError::failed(pid,
                                         QStringLiteral("The init process is never signalled."));
    // Its stat could not be read when it was listed: it had already gone.
    if (startTime <= 0)
        throw ProcessKillerError::processNotFound(pid);
    auto signalling = run(
        {QString::fromLatin1(HelperProtocol::signalOperation),
         QString::fromLatin1(force ? HelperProtocol::killSignal : HelperProtocol::terminateSignal),
         QString::number(pid), QString::number(port), QString::number(startTime)});
    const CommandResult result = co_await signalling;
    if (const auto error = ProcessKillerService::classify(result, pid))
        throw *error;
}

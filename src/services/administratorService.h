#pragma once

#include "commandRunner.h"
#include "localizedError.h"
#include "portProcess.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <sys/types.h>

// Why a run as administrator did not get to run its tool: each outcome of pkexec and of the
// helper that is not the tool's own answer.
class AdministratorError : public LocalizedError {
public:
    enum class Case { dismissed, notAuthorized, noAgent, pkexecMissing, refused, failed };

    AdministratorError(Case errorCase, QString detail = {})
        : m_case(errorCase), m_detail(std::move(detail)) {}

    Case errorCase() const { return m_case; }
    QString errorDescription() const override;

private:
    Case m_case;
    QString m_detail; // pkexec's, the helper's or the launch's own words
};

// Lists and signals the listeners of a port with administrator rights: pkexec starts the helper,
// which runs lsof or signals the process itself, and its answers read like the tools' own.
class AdministratorService {
public:
    static const QString pkexecPath;
    // The helper beside the program: <dir>/libexec/quaymeter in the build tree,
    // <dir>/../libexec/quaymeter installed; the first of the two when neither exists.
    static QString locateHelper();
    // Whether the polkit actions that polkitd reads name `helperPath`, so pkexec would run that
    // helper under them. A build tree's helper is never named: anyone who may write the tree could
    // change what runs as root.
    using PolicyNamesHelper = std::function<bool(const QString &helperPath)>;
    static bool installedPolicyNames(const QString &helperPath);
    // The same of a policy file's text: every exec.path of its actions is `helperPath`.
    static bool policyNames(const QByteArray &policy, const QString &helperPath);

    explicit AdministratorService(RunStoppableCommand run = CommandRunner::runStoppable,
                                  QString helperPath = locateHelper(),
                                  PolicyNamesHelper policyNamesHelper = installedPolicyNames);
    // For a stand-in runner that has nothing to stop.
    AdministratorService(RunCommand run, QString helperPath,
                         PolicyNamesHelper policyNamesHelper = installedPolicyNames);

    // Whether the window may offer to scan and kill as administrator.
    bool available() const;
    // Throws AdministratorError, PortScannerError, or CommandRunnerError. A stop request ends
    // pkexec while it still runs as the user, and yields an empty list nobody is meant to read.
    QCoro::Task<QList<PortProcess>> findListeners(qint64 port, std::stop_token stop = {}) const;
    // Sends TERM (KILL when `force`) to `pid`, which the helper checks listens on `port` and was
    // started at `startTime` (ProcessIdentity::startTime). Throws AdministratorError,
    // ProcessKillerError, or CommandRunnerError.
    QCoro::Task<void> kill(pid_t pid, bool force, qint64 port, qint64 startTime) const;

    QStringList pkexecArguments(const QStringList &request) const;
    // The failure of pkexec or of the helper, or nothing when the tool ran and answered.
    static std::optional<AdministratorError> classify(const CommandResult &result);

private:
    QCoro::Task<CommandResult> run(QStringList request, std::stop_token stop = {}) const;

    RunStoppableCommand m_run;
    QString m_helperPath;
    PolicyNamesHelper m_policyNamesHelper;
};

#pragma once

// What the window and its administrator helper agree on. Plain C++: the helper links no Qt.
namespace HelperProtocol {

// Installed in <prefix>/libexec/quaymeter/, and at the same place beside the program in the build
// tree.
inline constexpr const char *fileName = "quaymeter-helper";

// The polkit actions that let pkexec start it, where polkitd reads them whatever the prefix.
inline constexpr const char *policyFile = QUAYMETER_POLICY_FILE;

// quaymeter-helper list PORT
inline constexpr const char *listOperation = "list";
// quaymeter-helper signal TERM|KILL PID PORT START, START being field 22 of /proc/PID/stat
inline constexpr const char *signalOperation = "signal";
inline constexpr const char *terminateSignal = "TERM";
inline constexpr const char *killSignal = "KILL";

// The helper's own refusal: it ran or signalled nothing, and says why on standard error after this
// prefix. lsof never exits with it, and pkexec keeps 126 and 127 for itself.
inline constexpr int refusedExitCode = 125;
inline constexpr const char *refusalPrefix = "quaymeter-helper: ";

} // namespace HelperProtocol

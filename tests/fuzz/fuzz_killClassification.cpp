// What /bin/kill answers, as the terminator classifies it.
#include "processKillerService.h"
#include "toolOutput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const CommandResult result = toolOutput(data, size);
    const std::optional<ProcessKillerError> error = ProcessKillerService::classify(result, 4242);
    // Success exactly on exit 0; a failure is a finished sentence about the PID it was given.
    if (error.has_value() == (result.exitCode == 0))
        std::abort();
    if (error && (error->pid() != 4242 || !error->errorDescription().contains(u"PID 4242") ||
                  (error->errorCase() == ProcessKillerError::Case::failed &&
                   error->message().trimmed().isEmpty())))
        std::abort();
    return 0;
}

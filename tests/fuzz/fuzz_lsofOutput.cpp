// lsof's output as the scanner reads it.
#include "portScannerService.h"
#include "toolOutput.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const CommandResult result = toolOutput(data, size);
    try {
        QSet<pid_t> pids;
        for (const PortProcess &record : PortScannerService::readListeners(result, 8080)) {
            // One record a process, for a real PID, of the scanned port, read as a line alone is.
            if (record.pid <= 0 || record.port != 8080 || pids.contains(record.pid) ||
                PortScannerService::parseListenerLine(record.rawOutput, 8080) != record)
                std::abort();
            pids.insert(record.pid);
        }
    } catch (const PortScannerError &error) {
        if (error.message().isEmpty() || error.message() != error.message().trimmed())
            std::abort();
    }
    return 0;
}

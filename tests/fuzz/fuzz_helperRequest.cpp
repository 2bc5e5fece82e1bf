// The administrator helper's arguments, NUL-separated as the kernel hands them over.
#include "helperProtocol.h"
#include "helperRequest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string_view> args;
    for (size_t start = 0; start <= input.size(); start += args.back().size() + 1)
        args.push_back(input.substr(start, input.find('\0', start) - start));
    const auto parsed = parseHelperRequest(args);
    const auto *request = std::get_if<HelperRequest>(&parsed);
    if (!request)
        return 0;
    // Accepted only as the window spells it: a port that exists, a PID that is one process, a
    // start time after boot.
    std::vector<std::string> spelled;
    using namespace HelperProtocol;
    if (const auto *list = std::get_if<ListRequest>(request))
        spelled = {listOperation, std::to_string(list->port)};
    else if (const auto *signal = std::get_if<SignalRequest>(request);
             signal->pid > 0 && signal->startTime > 0)
        spelled = {signalOperation, signal->force ? killSignal : terminateSignal,
                   std::to_string(signal->pid), std::to_string(signal->port),
                   std::to_string(signal->startTime)};
    const int port = std::visit([](const auto &r) { return r.port; }, *request);
    if (std::vector<std::string>(args.begin(), args.end()) != spelled || port < 1 || port > 65535)
        std::abort();
    return 0;
}

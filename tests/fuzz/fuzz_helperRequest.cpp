// The administrator helper's arguments, NUL-separated as the kernel hands them over.
#include "helperProtocol.h"
#include "helperRequest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The arguments the window would write for `request`.
std::vector<std::string> spelled(const HelperRequest &request) {
    if (const auto *list = std::get_if<ListRequest>(&request))
        return {HelperProtocol::listOperation, std::to_string(list->port)};
    const auto &signal = std::get<SignalRequest>(request);
    return {HelperProtocol::signalOperation,
            signal.force ? HelperProtocol::killSignal : HelperProtocol::terminateSignal,
            std::to_string(signal.pid), std::to_string(signal.port)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string_view> args;
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\0', start), input.size());
        args.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    const auto parsed = parseHelperRequest(args);
    const auto *request = std::get_if<HelperRequest>(&parsed);
    if (!request)
        return 0;
    // Accepted only as the window spells it, a port that exists and a PID that is one process.
    if (std::vector<std::string>(args.begin(), args.end()) != spelled(*request))
        std::abort();
    const int port = std::visit([](const auto &r) { return r.port; }, *request);
    const auto *signal = std::get_if<SignalRequest>(request);
    if (port < 1 || port > 65535 || (signal && signal->pid < 1))
        std::abort();
    return 0;
}

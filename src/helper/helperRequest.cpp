#include "helperRequest.h"

#include "helperProtocol.h"
#include "plainText.h"

#include <optional>

namespace {

// As the window writes numbers: plain decimal without a leading zero.
std::optional<long long> decimal(std::string_view text, long long highest, size_t digits = 10) {
    if (!text.empty() && text[0] == '0')
        return std::nullopt;
    const auto value = PlainText::decimal(text, static_cast<unsigned long long>(highest), digits);
    return value ? std::optional<long long>(static_cast<long long>(*value)) : std::nullopt;
}

std::optional<int> port(std::string_view text) {
    const auto value = decimal(text, 65535);
    return value ? std::optional<int>(int(*value)) : std::nullopt;
}

} // namespace

std::variant<HelperRequest, std::string>
parseHelperRequest(std::span<const std::string_view> args) {
    using namespace HelperProtocol;
    const std::string usage = std::string("usage: ") + fileName + " " + listOperation + " PORT | " +
                              fileName + " " + signalOperation + " " + terminateSignal + "|" +
                              killSignal + " PID PORT START";
    if (args.size() == 2 && args[0] == listOperation) {
        if (const auto listened = port(args[1]))
            return HelperRequest(ListRequest{*listened});
        return std::string("not a TCP port");
    }
    if (args.size() == 5 && args[0] == signalOperation) {
        if (args[1] != terminateSignal && args[1] != killSignal)
            return std::string("not a signal it sends");
        const auto pid = decimal(args[2], 0x7fffffff);
        if (!pid)
            return std::string("not a PID");
        const auto listened = port(args[3]);
        if (!listened)
            return std::string("not a TCP port");
        // Clock ticks after boot: 18 digits outlast any uptime, and cannot overflow.
        const auto started = decimal(args[4], 999'999'999'999'999'999, 18);
        if (!started)
            return std::string("not a start time");
        return HelperRequest(
            SignalRequest{args[1] == killSignal, pid_t(*pid), *listened, *started});
    }
    return usage;
}

// Prints `name: value` lines: the cost of a scan beyond running lsof itself, and the parsing speed.
#include "commandRunner.h"
#include "listenerGroup.h"
#include "portScannerService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int runs = 100;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double elapsedMs(const QElapsedTimer &timer) {
    return timer.nsecsElapsed() / 1e6;
}

QCoro::Task<> scan(const PortScannerService &scanner, quint16 port, qsizetype &found,
                   QEventLoop &loop) {
    auto listing = scanner.findListeners(port);
    found = (co_await listing).processes.size();
    loop.quit();
}

double scanMs(const PortScannerService &scanner, quint16 port) {
    QEventLoop loop;
    qsizetype found = -1;
    QElapsedTimer timer;
    timer.start();
    auto task = scan(scanner, port, found, loop);
    loop.exec();
    const double ms = elapsedMs(timer);
    if (found != 1)
        std::fprintf(stderr, "scan found %lld listeners, expected 1\n",
                     static_cast<long long>(found));
    return ms;
}

double directMs(quint16 port) {
    QString launchError;
    QElapsedTimer timer;
    timer.start();
    CommandRunner::runBlocking(PortScannerService::lsofPath,
                               PortScannerService::lsofArguments(port), &launchError);
    return elapsedMs(timer);
}

// A listing of `lines` lines in lsof's real layout; every PID appears on two lines (IPv4, IPv6).
QString syntheticListing(int lines) {
    QString text = QStringLiteral("COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME\n");
    text.reserve(lines * 80);
    for (int i = 0; i < lines; ++i) {
        text +=
            QStringLiteral("python3 ") + QString::number(1000 + i / 2) +
            (i % 2 ? QStringLiteral(" root    4u  IPv6   8724      0t0  TCP [::1]:18432 (LISTEN)\n")
                   : QStringLiteral(
                         " root    3u  IPv4   8723      0t0  TCP 127.0.0.1:18432 (LISTEN)\n"));
    }
    return text;
}

double parseMs(int lines) {
    const CommandResult result{syntheticListing(lines), {}, 0};
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QList<PortProcess> records = PortScannerService::readListeners(result, 18432);
        times.push_back(elapsedMs(timer));
        if (records.size() != lines / 2)
            std::fprintf(stderr, "parsed %lld records, expected %d\n",
                         static_cast<long long>(records.size()), lines / 2);
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const ListenerGroup listener(1);
    const quint16 port = listener.port();
    if (port == 0) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    const PortScannerService scanner;
    std::vector<double> scans, directs;
    scanMs(scanner, port); // warm-up: threads, caches
    directMs(port);
    // Interleaved, so drift in machine load affects both series alike.
    for (int i = 0; i < runs; ++i) {
        scans.push_back(scanMs(scanner, port));
        directs.push_back(directMs(port));
    }
    const double scanMedian = median(scans);
    const double directMedian = median(directs);
    std::printf("scan_median_ms: %.3f\n", scanMedian);
    std::printf("lsof_direct_median_ms: %.3f\n", directMedian);
    std::printf("scan_overhead_ratio: %.3f\n", scanMedian / directMedian);
    std::printf("parse_100k_lines_ms: %.2f\n", parseMs(100'000));
    std::printf("parse_1m_lines_ms: %.2f\n", parseMs(1'000'000));
    return 0;
}

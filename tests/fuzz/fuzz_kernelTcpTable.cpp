// The kernel's /proc/net/tcp and tcp6 tables as the hidden-listener check reads them.
#include "kernelTcpTable.h"

#include <QString>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString table =
        QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    // Each address is one lsof could print.
    for (const KernelListener &listener : KernelTcpTable::tableListeners(table, 8080))
        if (listener.address.isEmpty() || listener.address.contains(u' '))
            std::abort();
    // Whatever a row holds, nothing listens on a port that cannot exist.
    for (const qint64 port : {qint64(-1), qint64(65536), std::numeric_limits<qint64>::min()})
        if (!KernelTcpTable::tableListeners(table, port).isEmpty())
            std::abort();
    return 0;
}

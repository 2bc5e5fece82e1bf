#include "listeningSockets.h"

#include <algorithm>
#include <array>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Row layout: "sl: local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...",
// the local address being "<8 or 32 hex digits>:<port as 4 hex digits>".
bool rowListensOn(std::string_view row, int port, unsigned long &inode) {
    std::array<std::string_view, 10> fields;
    size_t count = 0;
    size_t i = 0;
    while (count < fields.size() && i < row.size()) {
        while (i < row.size() && (row[i] == ' ' || row[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < row.size() && row[i] != ' ' && row[i] != '\t')
            ++i;
        if (i > start)
            fields[count++] = row.substr(start, i - start);
    }
    if (count < fields.size() || fields[3] != "0A")
        return false;
    const std::string_view local = fields[1];
    const size_t colon = local.rfind(':');
    if (colon == std::string_view::npos || (colon != 8 && colon != 32) ||
        local.size() - colon - 1 != 4 || !std::all_of(local.begin(), local.end(), [](char c) {
            return c == ':' || hexDigit(c) >= 0;
        }))
        return false;
    int localPort = 0;
    for (const char c : local.substr(colon + 1))
        localPort = localPort * 16 + hexDigit(c);
    const std::string_view number = fields[9];
    if (localPort != port || number.empty() || number.size() > 19 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    inode = 0;
    for (const char c : number)
        inode = inode * 10 + (c - '0');
    return inode != 0; // a socket being torn down has no inode left
}

std::string readFile(const std::string &path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    ::close(fd);
    return text;
}

} // namespace

namespace ListeningSockets {

std::vector<unsigned long> listeningInodes(std::string_view table, int port) {
    std::vector<unsigned long> inodes;
    while (!table.empty()) {
        const size_t end = std::min(table.find('\n'), table.size());
        unsigned long inode = 0;
        if (rowListensOn(table.substr(0, end), port, inode))
            inodes.push_back(inode);
        table.remove_prefix(std::min(end + 1, table.size()));
    }
    return inodes;
}

bool holdsListeningSocket(pid_t pid, int port) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::vector<unsigned long> inodes;
    for (const char *table : {"/net/tcp", "/net/tcp6"}) {
        const std::vector<unsigned long> found = listeningInodes(readFile(proc + table), port);
        inodes.insert(inodes.end(), found.begin(), found.end());
    }
    if (inodes.empty())
        return false;
    DIR *const fds = ::opendir((proc + "/fd").c_str());
    if (!fds)
        return false;
    std::vector<std::string> targets;
    for (const unsigned long inode : inodes)
        targets.push_back("socket:[" + std::to_string(inode) + "]");
    bool holds = false;
    while (const dirent *entry = ::readdir(fds)) {
        char target[64];
        const ssize_t length = ::readlinkat(::dirfd(fds), entry->d_name, target, sizeof target);
        if (length > 0 && size_t(length) < sizeof target &&
            std::find(targets.begin(), targets.end(), std::string_view(target, size_t(length))) !=
                targets.end()) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

} // namespace ListeningSockets

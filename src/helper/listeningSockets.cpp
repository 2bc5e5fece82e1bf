#include "listeningSockets.h"

#include "plainText.h"
#include "processFacts.h"

#include <algorithm>
#include <dirent.h>
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

// Plain decimal that fits `highest`, else nothing.
std::optional<unsigned long> decimal(std::string_view text, unsigned long highest) {
    const auto value = PlainText::decimal(text, highest);
    return value ? std::optional<unsigned long>(static_cast<unsigned long>(*value)) : std::nullopt;
}

// Row layout: "sl: local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...",
// the local address being "<8 or 32 hex digits>:<port as 4 hex digits>".
std::optional<ListeningSockets::Socket> listeningRow(std::string_view row) {
    const std::vector<std::string_view> fields = PlainText::words(row);
    if (fields.size() < 10 || fields[3] != "0A")
        return std::nullopt;
    const std::string_view local = fields[1];
    const size_t colon = local.rfind(':');
    if (colon == std::string_view::npos || (colon != 8 && colon != 32) ||
        local.size() - colon - 1 != 4 || !std::all_of(local.begin(), local.end(), [](char c) {
            return c == ':' || hexDigit(c) >= 0;
        }))
        return std::nullopt;
    int port = 0;
    for (const char c : local.substr(colon + 1))
        port = port * 16 + hexDigit(c);
    const auto owner = decimal(fields[7], 0xfffffffe); // (uid_t)-1 is no user
    const auto inode = decimal(fields[9], ~0ul);
    // A socket being torn down has no inode left.
    if (!owner || !inode || *inode == 0)
        return std::nullopt;
    return ListeningSockets::Socket{port, *inode, uid_t(*owner)};
}

} // namespace

namespace ListeningSockets {

std::vector<Socket> listening(std::string_view table) {
    std::vector<Socket> sockets;
    while (!table.empty()) {
        const size_t end = std::min(table.find('\n'), table.size());
        if (const auto socket = listeningRow(table.substr(0, end)))
            sockets.push_back(*socket);
        table.remove_prefix(std::min(end + 1, table.size()));
    }
    return sockets;
}

std::optional<unsigned long> socketInode(std::string_view linkTarget) {
    constexpr std::string_view open = "socket:[";
    if (linkTarget.substr(0, open.size()) != open || linkTarget.size() <= open.size() + 1 ||
        linkTarget.back() != ']' || linkTarget[open.size()] == '0')
        return std::nullopt;
    return decimal(linkTarget.substr(open.size(), linkTarget.size() - open.size() - 1), ~0ul);
}

Holding holding(pid_t pid, uid_t uid, int port) {
    // The helper's own tables: a socket of another network namespace is not this system's port.
    std::vector<Socket> sockets;
    for (const char *table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"})
        for (const Socket &socket : listening(ProcessFacts::read(table)))
            if (socket.port == port)
                sockets.push_back(socket);
    if (sockets.empty())
        return Holding::none;
    DIR *const fds = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds)
        return Holding::none;
    Holding held = Holding::none;
    while (const dirent *entry = ::readdir(fds)) {
        char target[64];
        const ssize_t length = ::readlinkat(::dirfd(fds), entry->d_name, target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target)
            continue;
        const auto inode = socketInode(std::string_view(target, size_t(length)));
        if (!inode)
            continue;
        const auto socket = std::find_if(sockets.begin(), sockets.end(),
                                         [&](const Socket &s) { return *inode == s.inode; });
        if (socket == sockets.end())
            continue;
        if (socket->owner == uid) {
            held = Holding::owned;
            break;
        }
        held = Holding::notOwned;
    }
    ::closedir(fds);
    return held;
}

} // namespace ListeningSockets

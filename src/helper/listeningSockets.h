#pragma once

#include <optional>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ListeningSockets {

struct Socket {
    int port = 0;
    unsigned long inode = 0;
    uid_t owner = 0; // who opened it; a process handed the descriptor holds it without owning it
};

// The sockets that a /proc/net/tcp or tcp6 table lists in the LISTEN state. Rows that do not read
// as the kernel prints them are skipped.
std::vector<Socket> listening(std::string_view table);

// The inode of a /proc/PID/fd link's target "socket:[INODE]"; nothing for any other target.
std::optional<unsigned long> socketInode(std::string_view linkTarget);

enum class Holding { none, notOwned, owned };
// Whether process `pid`, whose real uid is `uid`, holds a TCP socket listening on `port` in the
// helper's own network namespace (its /proc/self/net tables), and whether `uid` opened it.
// Reading another user's descriptors needs root.
Holding holding(pid_t pid, uid_t uid, int port);

} // namespace ListeningSockets

#pragma once

#include <string_view>
#include <sys/types.h>
#include <vector>

namespace ListeningSockets {

// The inodes of the sockets that a /proc/net/tcp or tcp6 table lists in the LISTEN state on
// `port`. Rows that do not read as the kernel prints them are skipped.
std::vector<unsigned long> listeningInodes(std::string_view table, int port);

// Whether process `pid` holds, right now, a TCP socket listening on `port`: the listening inodes
// of its own network namespace (/proc/PID/net/tcp and tcp6) among the targets of its
// /proc/PID/fd links ("socket:[INODE]"). Reading another user's descriptors needs root.
bool holdsListeningSocket(pid_t pid, int port);

} // namespace ListeningSockets

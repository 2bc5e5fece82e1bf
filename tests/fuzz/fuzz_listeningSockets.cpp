// What the administrator helper reads from /proc as root, where a hostile process names itself:
// TCP tables, descriptor links, stat and status texts. A socket is only what the text spells.
#include "listeningSockets.h"
#include "processFacts.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    for (const ListeningSockets::Socket &socket : ListeningSockets::listening(input))
        if (socket.inode == 0 || socket.port > 65535 ||
            input.find(std::to_string(socket.inode)) == std::string_view::npos)
            std::abort();
    const std::string_view link = input.substr(0, input.find('\n'));
    if (const auto inode = ListeningSockets::socketInode(link);
        inode && link != "socket:[" + std::to_string(*inode) + "]")
        std::abort();
    ProcessFacts::parseStat(input);
    ProcessFacts::parseStatus(input);
    return 0;
}

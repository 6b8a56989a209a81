// net.cpp — the TCP/IP stack test.
#include "platform/net.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

extern "C" int platformTcpStackPresent()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    close(fd);
    return 1;
}

// net.h — the TCP/IP stack test of start-up (the original opened the socket
// library only to see whether a stack was installed).  Called once by sysInit.
#pragma once

// 1 when an IPv4 stream socket can be created (it is closed again at once),
// 0 otherwise.
extern "C" int platformTcpStackPresent();

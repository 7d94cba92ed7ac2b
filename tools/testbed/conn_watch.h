// Holding an answer's connection open while sending nothing, until the peer leaves.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace testbed {

// The file descriptor of this process's TCP socket with these local and remote ends; -1 when
// none. The HTTP library does not hand its sockets to handlers, so they are found by address.
int FindConnectionSocket(const std::string& localAddress, int localPort,
                         const std::string& remoteAddress, int remotePort);

// Returns when the peer closed the socket (or it failed), when stopping becomes true, or at the
// deadline. fd -1 waits for stopping or the deadline only.
void HoldUntilPeerLeaves(int fd, const std::atomic<bool>& stopping,
                         std::chrono::steady_clock::time_point deadline);

// Sleeps for duration unless stopping becomes true first; returns !stopping.
bool PausePolitely(std::chrono::microseconds duration, const std::atomic<bool>& stopping);

}  // namespace testbed

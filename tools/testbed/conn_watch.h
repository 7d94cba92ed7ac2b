// Holding an answer's connection open while sending nothing, until the peer leaves.
#pragma once

#include <atomic>
#include <chrono>

namespace testbed {

// Returns when the peer closed the socket (or it failed), when stopping becomes true, or at the
// deadline. fd -1 waits for stopping or the deadline only.
void HoldUntilPeerLeaves(int fd, const std::atomic<bool>& stopping,
                         std::chrono::steady_clock::time_point deadline);

// Sleeps for duration unless stopping becomes true first; returns !stopping.
bool PausePolitely(std::chrono::microseconds duration, const std::atomic<bool>& stopping);

}  // namespace testbed

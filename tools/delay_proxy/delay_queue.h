// One direction of a delayed link: bytes wait until their due time, and count against the window
// until the emulated acknowledgement returns one delay after they were delivered.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace delay_proxy {

using Clock = std::chrono::steady_clock;

class DelayQueue {
 public:
  explicit DelayQueue(Clock::duration ackDelay) : ackDelay_(ackDelay) {}

  // Due times must not decrease from one call to the next (one constant delay keeps them so).
  void Push(Clock::time_point due, std::string_view bytes);
  // The source's end of stream; nothing may be pushed after it.
  void PushEnd(Clock::time_point due);

  // The unwritten part of the front chunk once it is due; empty otherwise.
  std::string_view DueBytes(Clock::time_point now) const;
  // `n` bytes of DueBytes() were written at `now`.
  void Consume(std::size_t n, Clock::time_point now);
  // True once, when the end of stream is at the front and due (every byte before it was
  // written); it is taken off the queue then.
  bool TakeEnd(Clock::time_point now);

  // Bytes queued plus bytes written whose acknowledgement is still on its way.
  std::size_t InFlight(Clock::time_point now);
  bool Empty() const { return chunks_.empty(); }
  // When the front item falls due, and when the oldest acknowledgement returns.
  std::optional<Clock::time_point> FrontDue() const;
  std::optional<Clock::time_point> NextAck() const;

 private:
  struct Chunk {
    Clock::time_point due;
    std::string bytes;  // empty for the end of stream
    bool end = false;
  };
  struct Ack {
    Clock::time_point at;
    std::size_t bytes;
  };

  Clock::duration ackDelay_;
  std::deque<Chunk> chunks_;
  std::size_t frontOffset_ = 0;  // bytes of the front chunk already written
  std::size_t queued_ = 0;       // unwritten bytes over all chunks
  std::deque<Ack> acks_;
  std::size_t unacked_ = 0;
};

}  // namespace delay_proxy

#include "delay_queue.h"

namespace delay_proxy {

void DelayQueue::Push(Clock::time_point due, std::string_view bytes) {
  if (bytes.empty()) return;
  chunks_.push_back(Chunk{due, std::string(bytes), false});
  queued_ += bytes.size();
}

void DelayQueue::PushEnd(Clock::time_point due) {
  chunks_.push_back(Chunk{due, {}, true});
}

std::string_view DelayQueue::DueBytes(Clock::time_point now) const {
  if (chunks_.empty() || chunks_.front().end || chunks_.front().due > now) return {};
  return std::string_view(chunks_.front().bytes).substr(frontOffset_);
}

void DelayQueue::Consume(std::size_t n, Clock::time_point now) {
  if (chunks_.empty() || chunks_.front().end) return;
  Chunk& front = chunks_.front();
  if (n > front.bytes.size() - frontOffset_) n = front.bytes.size() - frontOffset_;
  frontOffset_ += n;
  queued_ -= n;
  if (n > 0) {
    acks_.push_back(Ack{now + ackDelay_, n});
    unacked_ += n;
  }
  if (frontOffset_ == front.bytes.size()) {
    chunks_.pop_front();
    frontOffset_ = 0;
  }
}

bool DelayQueue::TakeEnd(Clock::time_point now) {
  if (chunks_.empty() || !chunks_.front().end || chunks_.front().due > now) return false;
  chunks_.pop_front();
  return true;
}

std::size_t DelayQueue::InFlight(Clock::time_point now) {
  while (!acks_.empty() && acks_.front().at <= now) {
    unacked_ -= acks_.front().bytes;
    acks_.pop_front();
  }
  return queued_ + unacked_;
}

std::optional<Clock::time_point> DelayQueue::FrontDue() const {
  if (chunks_.empty()) return std::nullopt;
  return chunks_.front().due;
}

std::optional<Clock::time_point> DelayQueue::NextAck() const {
  if (acks_.empty()) return std::nullopt;
  return acks_.front().at;
}

}  // namespace delay_proxy

#include "xml/element_records.h"

#include <algorithm>
#include <cstring>

void ElementRecords::Reset(uint32_t estimate) {
  if (estimate < 1) estimate = 1;
  segments_.clear();
  longTags_.clear();
  lastSegmentSlots_ = 0;
  capacity_ = 0;
  next_ = 0;
  while (capacity_ < estimate) {
    uint32_t slots = std::min(kSegmentSize, estimate - capacity_);
    segments_.emplace_back(new ElementRecord[slots]);
    lastSegmentSlots_ = slots;
    capacity_ += slots;
  }
  (*this)[0] = ElementRecord{};
  next_ = 1;
}

void ElementRecords::ResizeLastSegment(uint32_t slots) {
  std::unique_ptr<ElementRecord[]> bigger(new ElementRecord[slots]);
  std::memcpy(bigger.get(), segments_.back().get(), lastSegmentSlots_ * sizeof(ElementRecord));
  segments_.back() = std::move(bigger);
  capacity_ += slots - lastSegmentSlots_;
  lastSegmentSlots_ = slots;
}

void ElementRecords::Grow() {
  // Grows by half; only a partly sized last segment is ever copied.
  uint32_t target = capacity_ + std::max<uint32_t>(capacity_ / 2, 8);
  if (!segments_.empty() && lastSegmentSlots_ < kSegmentSize) {
    ResizeLastSegment(std::min(kSegmentSize, lastSegmentSlots_ + (target - capacity_)));
  }
  while (capacity_ < target) {
    uint32_t slots = std::min(kSegmentSize, target - capacity_);
    segments_.emplace_back(new ElementRecord[slots]);
    lastSegmentSlots_ = slots;
    capacity_ += slots;
  }
}

uint32_t ElementRecords::StartTagLength(uint32_t index) const {
  uint32_t v = (*this)[index].tagLengths & kStartTagMask;
  if (v != kStartTagMask) return v;
  auto it = longTags_.find(index);
  return it == longTags_.end() ? v : it->second.first;
}

uint32_t ElementRecords::EndTagLength(uint32_t index) const {
  uint32_t v = (*this)[index].tagLengths >> kStartTagBits;
  if (v != kEndTagMask) return v;
  auto it = longTags_.find(index);
  return it == longTags_.end() ? v : it->second.second;
}

void ElementRecords::SetTagLengths(uint32_t index, uint32_t startTag, uint32_t endTag) {
  uint32_t s = std::min(startTag, kStartTagMask);
  uint32_t e = std::min(endTag, kEndTagMask);
  (*this)[index].tagLengths = (e << kStartTagBits) | s;
  if (s == kStartTagMask || e == kEndTagMask) {
    longTags_[index] = {startTag, endTag};
  } else if (!longTags_.empty()) {
    longTags_.erase(index);
  }
}

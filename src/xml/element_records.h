// The element index of a parsed document: fixed-size integer records in segments of 65,536.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

struct ElementRecord {
  uint32_t start;       // offset of the '<'
  uint32_t length;      // through the end tag's '>' (start tag alone when empty or not ended)
  uint32_t tagLengths;  // end-tag length in the top 10 bits, start-tag length below
  uint32_t levelFlags;  // depth in the low 16 bits, kFlag* above
  uint32_t parent;
  uint32_t firstChild;
  uint32_t next;
  uint32_t prev;  // the first child's prev is the last child

  static constexpr uint32_t kFlagFirstChild = 0x80000;
  static constexpr uint32_t kFlagNotEnded = 0x100000;
  static constexpr uint32_t kFlagErrorInside = 0x200000;
  static constexpr uint32_t kFlagIllFormed = 0x800000;  // document-level record only
  static constexpr uint32_t kLevelMask = 0xFFFF;
};

class ElementRecords {
 public:
  static constexpr uint32_t kSegmentBits = 16;
  static constexpr uint32_t kSegmentSize = 1u << kSegmentBits;

  // Drops all records and reserves room for about `estimate`; index 0 (document level) is zeroed
  // and the next free index is 1.
  void Reset(uint32_t estimate);

  ElementRecord& operator[](uint32_t index) {
    return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
  }
  const ElementRecord& operator[](uint32_t index) const {
    return segments_[index >> kSegmentBits][index & (kSegmentSize - 1)];
  }

  // A new zeroed record.
  uint32_t Allocate() {
    if (next_ >= capacity_) Grow();
    uint32_t index = next_++;
    (*this)[index] = ElementRecord{};
    return index;
  }

  uint32_t NextFree() const { return next_; }
  uint32_t Capacity() const { return capacity_; }
  bool Empty() const { return capacity_ == 0; }

  // Tag lengths beyond the packed word's fields are kept aside so no tag is ever cut short.
  uint32_t StartTagLength(uint32_t index) const;
  uint32_t EndTagLength(uint32_t index) const;
  void SetTagLengths(uint32_t index, uint32_t startTag, uint32_t endTag);

 private:
  static constexpr uint32_t kStartTagBits = 22;
  static constexpr uint32_t kStartTagMask = (1u << kStartTagBits) - 1;
  static constexpr uint32_t kEndTagMask = 0x3FF;

  void Grow();
  void ResizeLastSegment(uint32_t slots);

  std::vector<std::unique_ptr<ElementRecord[]>> segments_;
  uint32_t lastSegmentSlots_ = 0;  // every earlier segment is full
  uint32_t capacity_ = 0;
  uint32_t next_ = 0;
  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> longTags_;
};

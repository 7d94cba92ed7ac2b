// The resume record carried after the last data byte of a temporary package file: N entries of
// (first missing byte, last byte inclusive) and then N, all signed 64-bit little-endian.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ns_NUK {

using RangeEntry = std::pair<int64_t, int64_t>;  // first missing byte, last byte (inclusive)

// The bytes of a record for the entries (empty when there is none).
std::string EncodeResumeRecord(const std::vector<RangeEntry>& entries);

// Reads and validates the record of the file at `path` for a package of `total` bytes into a map
// from first missing byte to last byte, overlapping entries joined. False when the file carries
// no record or the record is not sound (file length not total + 16 N + 8, N < 1, an entry outside
// [0, total - 1] or reversed, entries adding up to more than total), and when the file is not our
// own (a link, another owner, more than one name).
bool LoadResumeRecord(const std::string& path, int64_t total, std::map<int64_t, int64_t>& ranges);

// Bytes the ranges leave out of the file: total minus their summed lengths.
int64_t CachedBytes(int64_t total, const std::map<int64_t, int64_t>& ranges);

}  // namespace ns_NUK

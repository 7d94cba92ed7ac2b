// Deterministic pseudo-random package bytes, computable at any offset, and MD5 digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testbed {

// Fills out with bytes [offset, offset + length) of the stream named by seed.
void FillPattern(uint64_t seed, int64_t offset, char* out, size_t length);
std::string PatternBytes(uint64_t seed, int64_t offset, size_t length);

// Lower-case hex MD5 of the first size bytes of the stream.
std::string PatternMd5(uint64_t seed, int64_t size);
std::string Md5Hex(const std::string& bytes);
// Lower-case hex MD5 of a file; "" when it cannot be read.
std::string FileMd5(const std::string& path);
std::string Sha256Hex(const std::string& bytes);

}  // namespace testbed

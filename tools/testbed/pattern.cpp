#include "testbed/pattern.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace testbed {
namespace {

// splitmix64 of the word index: every 8-byte word is independent, so any offset is cheap.
inline uint64_t Word(uint64_t seed, uint64_t index) {
  uint64_t z = seed + (index + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string Hex(const unsigned char* data, unsigned length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

class Digest {
 public:
  explicit Digest(const EVP_MD* md) : ctx_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    if (ctx_) EVP_DigestInit_ex(ctx_.get(), md, nullptr);
  }
  void Update(const void* data, size_t length) {
    if (ctx_) EVP_DigestUpdate(ctx_.get(), data, length);
  }
  std::string HexFinal() {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!ctx_ || EVP_DigestFinal_ex(ctx_.get(), out, &length) != 1) return "";
    return Hex(out, length);
  }

 private:
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx_;
};

}  // namespace

void FillPattern(uint64_t seed, int64_t offset, char* out, size_t length) {
  if (offset < 0) return;
  uint64_t pos = static_cast<uint64_t>(offset);
  size_t done = 0;
  // Unaligned head, whole words, unaligned tail.
  while (done < length && (pos % 8) != 0) {
    uint64_t w = Word(seed, pos / 8);
    out[done++] = static_cast<char>(w >> (8 * (pos % 8)));
    ++pos;
  }
  while (length - done >= 8) {
    uint64_t w = Word(seed, pos / 8);
    std::memcpy(out + done, &w, 8);  // little-endian machine: byte k is bits 8k..8k+7
    done += 8;
    pos += 8;
  }
  while (done < length) {
    uint64_t w = Word(seed, pos / 8);
    out[done++] = static_cast<char>(w >> (8 * (pos % 8)));
    ++pos;
  }
}

std::string PatternBytes(uint64_t seed, int64_t offset, size_t length) {
  std::string out(length, '\0');
  FillPattern(seed, offset, out.data(), length);
  return out;
}

std::string PatternMd5(uint64_t seed, int64_t size) {
  Digest digest(EVP_md5());
  std::vector<char> chunk(1 << 20);
  for (int64_t pos = 0; pos < size;) {
    size_t n = static_cast<size_t>(std::min<int64_t>(chunk.size(), size - pos));
    FillPattern(seed, pos, chunk.data(), n);
    digest.Update(chunk.data(), n);
    pos += static_cast<int64_t>(n);
  }
  return digest.HexFinal();
}

std::string Md5Hex(const std::string& bytes) {
  Digest digest(EVP_md5());
  digest.Update(bytes.data(), bytes.size());
  return digest.HexFinal();
}

std::string FileMd5(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  Digest digest(EVP_md5());
  std::vector<char> chunk(1 << 20);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    if (in.gcount() > 0) digest.Update(chunk.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return "";
  return digest.HexFinal();
}

std::string Sha256Hex(const std::string& bytes) {
  Digest digest(EVP_sha256());
  digest.Update(bytes.data(), bytes.size());
  return digest.HexFinal();
}

}  // namespace testbed

#include "engine/file_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <vector>

namespace ns_NUK {

struct Md5Hasher::Context {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ~Context() { EVP_MD_CTX_free(ctx); }
};

Md5Hasher::Md5Hasher() : context_(std::make_unique<Context>()) {
  ok_ = context_->ctx && EVP_DigestInit_ex(context_->ctx, EVP_md5(), nullptr) == 1;
}

Md5Hasher::~Md5Hasher() = default;

bool Md5Hasher::Update(const void* data, size_t length) {
  if (ok_ && length > 0) ok_ = EVP_DigestUpdate(context_->ctx, data, length) == 1;
  return ok_;
}

std::string Md5Hasher::FinalHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (!ok_ || EVP_DigestFinal_ex(context_->ctx, digest, &len) != 1) return {};
  ok_ = false;  // the context is spent
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < len; ++i) {
    text.push_back(kHex[digest[i] >> 4]);
    text.push_back(kHex[digest[i] & 0xf]);
  }
  return text;
}

std::string FileMd5(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  Md5Hasher hasher;
  std::vector<unsigned char> buf(1 << 20);
  for (;;) {
    const size_t n = std::fread(buf.data(), 1, buf.size(), file.get());
    if (!hasher.Update(buf.data(), n)) return {};
    if (n < buf.size()) {
      if (std::ferror(file.get())) return {};
      break;
    }
  }
  return hasher.FinalHex();
}

}  // namespace ns_NUK

// MD5 of package files, as 32 upper-case hexadecimal digits.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace ns_NUK {

// MD5 over bytes given in order; one digest per object.
class Md5Hasher {
 public:
  Md5Hasher();
  ~Md5Hasher();
  Md5Hasher(const Md5Hasher&) = delete;
  Md5Hasher& operator=(const Md5Hasher&) = delete;

  bool Update(const void* data, size_t length);
  // The digest text; empty when any step failed.
  std::string FinalHex();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  bool ok_ = false;
};

// Empty when the file cannot be read.
std::string FileMd5(const std::string& path);

}  // namespace ns_NUK

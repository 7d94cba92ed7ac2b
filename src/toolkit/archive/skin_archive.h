// A zip archive read in memory with libzip.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace SkinUI {

class SkinArchive {
 public:
  // Nothing when the bytes are empty or not a zip archive.
  static std::unique_ptr<SkinArchive> Open(std::string bytes);
  ~SkinArchive();
  SkinArchive(const SkinArchive&) = delete;
  SkinArchive& operator=(const SkinArchive&) = delete;

  // A member by name (exact, "/" separated); nothing when absent or unreadable. Not thread-safe.
  std::optional<std::string> Read(std::string_view name);
  std::vector<std::string> Names() const;

 private:
  SkinArchive() = default;
  std::string bytes_;  // libzip reads from these while the archive is open
  ::zip* zip_ = nullptr;
};

}  // namespace SkinUI

#include "toolkit/archive/skin_resources.h"

#include "log/simple_log.h"
#include "platform/os/files.h"
#include "toolkit/archive/skin_archive.h"

namespace SkinUI {

SkinResources::SkinResources() = default;
SkinResources::~SkinResources() = default;

SkinResources& SkinResources::Get() {
  static SkinResources resources;
  return resources;
}

bool SkinResources::SetResourceZip(std::string bytes) {
  const size_t size = bytes.size();
  std::unique_ptr<SkinArchive> archive = SkinArchive::Open(std::move(bytes));
  if (!archive) {
    NUV_LOG(1, "[ERROR] skin archive of %zu bytes is not a zip archive", size);
    return false;
  }
  std::lock_guard<std::mutex> hold(lock_);
  archive_ = std::move(archive);
  folder_.clear();
  return true;
}

void SkinResources::SetFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  std::lock_guard<std::mutex> hold(lock_);
  archive_.reset();
  folder_ = std::move(folder);
}

void SkinResources::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  archive_.reset();
  folder_.clear();
}

bool SkinResources::HasSource() const {
  std::lock_guard<std::mutex> hold(lock_);
  return archive_ || !folder_.empty();
}

std::optional<std::string> SkinResources::ReadFile(std::string_view name) const {
  // Names are archive paths: no way out of the folder.
  if (name.empty() || name.front() == '/' || name.find("..") != std::string_view::npos)
    return std::nullopt;
  std::lock_guard<std::mutex> hold(lock_);
  if (archive_) return archive_->Read(name);
  if (folder_.empty()) return std::nullopt;
  return nuv::os::ReadFile(folder_ + std::string(name));
}

bool SkinResources::LoadSkin(std::string_view name) {
  if (ReadFile(name)) return true;
  NUV_LOG(2, "[WARN] skin document %.*s is not in the skin archive", static_cast<int>(name.size()),
          name.data());
  return false;
}

}  // namespace SkinUI

#include "platform/os/resources.h"

#include <cstdint>

#include "platform/os/files.h"
#include "platform/os/folders.h"

namespace {

// Layout written by resources/CMakeLists.txt (five 8-byte fields per entry).
struct CompiledResource {
  const char* type;
  int64_t id;
  const char* file;
  const unsigned char* data;
  uint64_t size;
};

}  // namespace

extern "C" const CompiledResource nuv_resource_index[];
extern "C" const uint64_t nuv_resource_count;

namespace nuv::os {

namespace {

const CompiledResource* FindCompiled(std::string_view type, int id) {
  for (uint64_t i = 0; i < nuv_resource_count; ++i) {
    const CompiledResource& r = nuv_resource_index[i];
    if (r.id == id && type == r.type) return &r;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> LoadResource(std::string_view type, int id) {
  const CompiledResource* entry = FindCompiled(type, id);
  if (!entry) return std::nullopt;
  std::string overlay = GetEnvOr(kResourceDirEnv);
  if (!overlay.empty()) {
    if (overlay.back() != '/') overlay += '/';
    std::string path = overlay + entry->file;
    if (PathExists(path + kResourceMissingSuffix)) return std::nullopt;
    if (!IsDirectory(path)) {
      if (std::optional<std::string> bytes = ReadFile(path)) return bytes;
    }
  }
  return std::string(reinterpret_cast<const char*>(entry->data), entry->size);
}

std::vector<ResourceInfo> ListResources() {
  std::vector<ResourceInfo> out;
  for (uint64_t i = 0; i < nuv_resource_count; ++i) {
    const CompiledResource& r = nuv_resource_index[i];
    out.push_back({r.type, static_cast<int>(r.id), r.file});
  }
  return out;
}

}  // namespace nuv::os

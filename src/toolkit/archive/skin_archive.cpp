#include "toolkit/archive/skin_archive.h"

#include <zip.h>

namespace SkinUI {

namespace {

// Members larger than this are not skin files; refusing them bounds what a broken archive costs.
constexpr zip_uint64_t kMaxMemberBytes = 64u << 20;

}  // namespace

std::unique_ptr<SkinArchive> SkinArchive::Open(std::string bytes) {
  if (bytes.empty()) return nullptr;
  std::unique_ptr<SkinArchive> archive(new SkinArchive);
  archive->bytes_ = std::move(bytes);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(archive->bytes_.data(), archive->bytes_.size(), 0, &error);
  if (!source) {
    zip_error_fini(&error);
    return nullptr;
  }
  archive->zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (!archive->zip_) {
    zip_source_free(source);
    return nullptr;
  }
  return archive;
}

SkinArchive::~SkinArchive() {
  if (zip_) zip_discard(zip_);
}

std::optional<std::string> SkinArchive::Read(std::string_view name) {
  const std::string key(name);
  const zip_int64_t index = zip_name_locate(zip_, key.c_str(), 0);
  if (index < 0) return std::nullopt;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      !(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxMemberBytes)
    return std::nullopt;
  zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
  if (!file) return std::nullopt;
  std::string data(stat.size, '\0');
  zip_uint64_t done = 0;
  while (done < stat.size) {
    const zip_int64_t n = zip_fread(file, data.data() + done, stat.size - done);
    if (n <= 0) break;
    done += static_cast<zip_uint64_t>(n);
  }
  zip_fclose(file);
  if (done != stat.size) return std::nullopt;
  return data;
}

std::vector<std::string> SkinArchive::Names() const {
  std::vector<std::string> names;
  const zip_int64_t count = zip_get_num_entries(zip_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    if (const char* name = zip_get_name(zip_, static_cast<zip_uint64_t>(i), 0))
      names.emplace_back(name);
  }
  return names;
}

}  // namespace SkinUI

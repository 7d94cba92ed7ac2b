#include "platform/os/file_version.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace nuv::os {

namespace {

// The text is short; anything bigger is not ours.
constexpr uint64_t kMaxVersionBytes = 256;
constexpr uint64_t kMaxSectionNames = 1 << 20;
constexpr uint16_t kMaxSections = 4096;

class File {
 public:
  explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }
  uint64_t Size() const {
    struct stat st;
    return fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  }
  // Reads exactly size bytes at offset; false when the file is shorter.
  bool ReadAt(uint64_t offset, void* out, uint64_t size) const {
    auto* p = static_cast<char*>(out);
    while (size > 0) {
      ssize_t n = pread(fd_, p, size, static_cast<off_t>(offset));
      if (n <= 0) return false;
      p += n;
      offset += static_cast<uint64_t>(n);
      size -= static_cast<uint64_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

bool InFile(uint64_t offset, uint64_t size, uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

std::optional<std::string> ReadVersionSection(const std::string& path) {
  File file(path);
  if (!file.Ok()) return std::nullopt;
  uint64_t fileSize = file.Size();
  Elf64_Ehdr eh;
  if (fileSize < sizeof eh || !file.ReadAt(0, &eh, sizeof eh)) return std::nullopt;
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize != sizeof(Elf64_Shdr) ||
      eh.e_shnum == 0 || eh.e_shnum > kMaxSections || eh.e_shstrndx >= eh.e_shnum) {
    return std::nullopt;
  }
  uint64_t tableSize = uint64_t{eh.e_shnum} * sizeof(Elf64_Shdr);
  if (!InFile(eh.e_shoff, tableSize, fileSize)) return std::nullopt;
  std::vector<Elf64_Shdr> sections(eh.e_shnum);
  if (!file.ReadAt(eh.e_shoff, sections.data(), tableSize)) return std::nullopt;

  const Elf64_Shdr& names = sections[eh.e_shstrndx];
  if (names.sh_type == SHT_NOBITS || names.sh_size > kMaxSectionNames ||
      !InFile(names.sh_offset, names.sh_size, fileSize)) {
    return std::nullopt;
  }
  std::string nameTable(names.sh_size, '\0');
  if (!file.ReadAt(names.sh_offset, nameTable.data(), names.sh_size)) return std::nullopt;

  for (const Elf64_Shdr& s : sections) {
    if (s.sh_name >= nameTable.size()) continue;
    // strnlen keeps a name without terminator inside the table.
    const char* name = nameTable.data() + s.sh_name;
    size_t nameLen = strnlen(name, nameTable.size() - s.sh_name);
    if (std::string_view(name, nameLen) != kVersionSectionName) continue;
    if (s.sh_type == SHT_NOBITS || s.sh_size == 0 || s.sh_size > kMaxVersionBytes ||
        !InFile(s.sh_offset, s.sh_size, fileSize)) {
      return std::nullopt;
    }
    std::string text(s.sh_size, '\0');
    if (!file.ReadAt(s.sh_offset, text.data(), s.sh_size)) return std::nullopt;
    text.resize(strnlen(text.data(), text.size()));
    return text;
  }
  return std::nullopt;
}

}  // namespace nuv::os

#include "shell/crash_locate.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cstring>

namespace {

// Plenty for any real file; a corrupt header must not make the walk long.
constexpr size_t kMaxSections = 1u << 16;

bool ReadAt(int fd, void* buffer, size_t size, off_t at) {
  return pread(fd, buffer, size, at) == static_cast<ssize_t>(size);
}

void CopyText(char* to, size_t size, const char* from) {
  size_t n = 0;
  for (; from[n] != '\0' && n + 1 < size; ++n) to[n] = from[n];
  to[n] = '\0';
}

bool FindInOpenFile(int fd, uintptr_t vaddr, char* name, size_t nameSize, uint32_t& offset) {
  ElfW(Ehdr) eh;
  if (!ReadAt(fd, &eh, sizeof eh, 0) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) || eh.e_shoff == 0 ||
      eh.e_shentsize != sizeof(ElfW(Shdr))) {
    return false;
  }
  size_t count = eh.e_shnum;
  size_t namesIndex = eh.e_shstrndx;
  if (count == 0 || namesIndex == SHN_XINDEX) {
    // Extended numbering keeps the real values in section 0.
    ElfW(Shdr) first;
    if (!ReadAt(fd, &first, sizeof first, eh.e_shoff)) return false;
    if (count == 0) count = first.sh_size;
    if (namesIndex == SHN_XINDEX) namesIndex = first.sh_link;
  }
  if (count > kMaxSections || namesIndex >= count) return false;
  auto headerAt = [&](size_t i) { return static_cast<off_t>(eh.e_shoff + i * sizeof(ElfW(Shdr))); };
  ElfW(Shdr) names;
  if (!ReadAt(fd, &names, sizeof names, headerAt(namesIndex))) return false;

  for (size_t i = 1; i < count; ++i) {
    ElfW(Shdr) sh;
    if (!ReadAt(fd, &sh, sizeof sh, headerAt(i))) return false;
    if (!(sh.sh_flags & SHF_ALLOC) || sh.sh_size == 0) continue;
    if (vaddr < sh.sh_addr || vaddr - sh.sh_addr >= sh.sh_size) continue;
    if (sh.sh_name >= names.sh_size) return false;
    char text[64] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, names.sh_offset + sh.sh_name);
    if (got <= 0) return false;
    text[got] = '\0';
    CopyText(name, nameSize, text);
    offset = static_cast<uint32_t>(vaddr - sh.sh_addr);
    return true;
  }
  return false;
}

}  // namespace

bool FindElfSection(const char* path, uintptr_t vaddr, char* name, size_t nameSize,
                    uint32_t& offset) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool found = FindInOpenFile(fd, vaddr, name, nameSize, offset);
  close(fd);
  return found;
}

bool LocateAddress(uintptr_t address, CrashLocation& out) {
  out = CrashLocation();
  Dl_info info;
  struct link_map* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(address), &info, reinterpret_cast<void**>(&map),
              RTLD_DL_LINKMAP) == 0 ||
      map == nullptr) {
    return false;
  }
  // The main program's entry has no name; its file is reachable through /proc even when the
  // path on disk has since changed.
  const bool mainProgram = map->l_name == nullptr || map->l_name[0] == '\0';
  const char* file = mainProgram ? "/proc/self/exe" : map->l_name;
  char module[sizeof out.module] = {};
  if (mainProgram) {
    const ssize_t n = readlink("/proc/self/exe", module, sizeof module - 1);
    if (n <= 0) return false;
    module[n] = '\0';
  } else {
    CopyText(module, sizeof module, map->l_name);
  }
  const uintptr_t vaddr = address - static_cast<uintptr_t>(map->l_addr);
  uint32_t offset = 0;
  char section[sizeof out.section] = {};
  if (!FindElfSection(file, vaddr, section, sizeof section, offset)) return false;
  out.known = true;
  std::memcpy(out.module, module, sizeof module);
  std::memcpy(out.section, section, sizeof section);
  out.offset = offset;
  return true;
}

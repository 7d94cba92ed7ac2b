// A minimal 64-bit ELF file with a ".nuv_version" section, built in memory so tests can corrupt
// exactly the field they mean.
#pragma once

#include <elf.h>

#include <cstring>
#include <string>

struct ElfFixture {
  std::string text = "9.8.7.6";
  uint32_t versionType = SHT_PROGBITS;

  // Offsets of the fields tests patch.
  size_t versionHeaderOffset = 0;

  std::string Build() {
    const std::string names = std::string("\0.shstrtab\0.nuv_version\0", 24);
    std::string bytes(sizeof(Elf64_Ehdr), '\0');
    size_t namesOffset = bytes.size();
    bytes += names;
    size_t textOffset = bytes.size();
    bytes += text;
    bytes.resize((bytes.size() + 7) & ~size_t{7});
    size_t shoff = bytes.size();

    Elf64_Shdr sections[3] = {};
    sections[1].sh_name = 1;
    sections[1].sh_type = SHT_STRTAB;
    sections[1].sh_offset = namesOffset;
    sections[1].sh_size = names.size();
    sections[2].sh_name = 11;
    sections[2].sh_type = versionType;
    sections[2].sh_offset = textOffset;
    sections[2].sh_size = text.size();
    versionHeaderOffset = shoff + 2 * sizeof(Elf64_Shdr);
    bytes.append(reinterpret_cast<const char*>(sections), sizeof sections);

    Elf64_Ehdr eh = {};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_EXEC;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Elf64_Ehdr);
    eh.e_shoff = shoff;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 1;
    std::memcpy(bytes.data(), &eh, sizeof eh);
    return bytes;
  }
};

template <typename T>
void Patch(std::string& bytes, size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

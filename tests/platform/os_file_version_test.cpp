#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>

#include "os_elf_fixture.h"
#include "platform/os/file_version.h"
#include "platform/os/folders.h"
#include "support/temp_dir.h"

using nuv::os::ReadVersionSection;

namespace {

TEST(OsFileVersion, ReadsTheSectionOfAnExecutableBuiltWithTheCMakeFunction) {
  // tests/platform/CMakeLists.txt gives this test program its version section.
  EXPECT_EQ(ReadVersionSection(nuv::os::ModulePath()), std::optional<std::string>("1.2.3.4"));
  EXPECT_FALSE(ReadVersionSection("/bin/sh"));  // a real ELF file without the section
}

TEST(OsFileVersion, CraftedFiles) {
  TempDir dir;
  std::string path = dir.File("f");
  ElfFixture fixture;
  std::string good = fixture.Build();
  const size_t vh = fixture.versionHeaderOffset;

  struct Case {
    const char* what;
    std::function<void(std::string&)> mutate;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"valid", [](std::string&) {}, "9.8.7.6"},
      {"empty file", [](std::string& b) { b.clear(); }, std::nullopt},
      {"cut in the header", [](std::string& b) { b.resize(40); }, std::nullopt},
      {"cut in the section table", [](std::string& b) { b.resize(b.size() - 10); }, std::nullopt},
      {"not ELF", [](std::string& b) { b[1] = 'X'; }, std::nullopt},
      {"32-bit class", [](std::string& b) { b[EI_CLASS] = ELFCLASS32; }, std::nullopt},
      {"big-endian", [](std::string& b) { b[EI_DATA] = ELFDATA2MSB; }, std::nullopt},
      {"table beyond the end",
       [](std::string& b) { Patch<uint64_t>(b, offsetof(Elf64_Ehdr, e_shoff), ~uint64_t{0} - 8); },
       std::nullopt},
      {"name table index out of range",
       [](std::string& b) { Patch<uint16_t>(b, offsetof(Elf64_Ehdr, e_shstrndx), 3); },
       std::nullopt},
      {"wrong entry size",
       [](std::string& b) { Patch<uint16_t>(b, offsetof(Elf64_Ehdr, e_shentsize), 32); },
       std::nullopt},
      {"text beyond the end",
       [vh](std::string& b) { Patch<uint64_t>(b, vh + offsetof(Elf64_Shdr, sh_offset), 1u << 30); },
       std::nullopt},
      {"text size overflowing",
       [vh](std::string& b) {
         Patch<uint64_t>(b, vh + offsetof(Elf64_Shdr, sh_size), ~uint64_t{0});
       },
       std::nullopt},
      {"name offset outside the table",
       [vh](std::string& b) { Patch<uint32_t>(b, vh + offsetof(Elf64_Shdr, sh_name), 5000); },
       std::nullopt},
      {"no-bits section",
       [vh](std::string& b) { Patch<uint32_t>(b, vh + offsetof(Elf64_Shdr, sh_type), SHT_NOBITS); },
       std::nullopt},
      {"text stops at NUL",
       [vh](std::string& b) {
         b[b.find("9.8.7.6") + 3] = '\0';
         (void)vh;
       },
       "9.8"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.mutate(bytes);
    WriteWholeFile(path, bytes);
    EXPECT_EQ(ReadVersionSection(path), c.expected) << c.what;
  }
  EXPECT_FALSE(ReadVersionSection(dir.Path()));  // a folder
  EXPECT_FALSE(ReadVersionSection(dir.File("absent")));
}

}  // namespace

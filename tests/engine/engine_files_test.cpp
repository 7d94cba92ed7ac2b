// The temporary package file, its resume record and the digest, on real files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/address_uses.h"
#include "engine/file_digest.h"
#include "engine/package_file.h"
#include "engine/resume_record.h"
#include "engine_temp_dir.h"
#include "platform/os/memory.h"
#include "platform/os/sized_file.h"

using namespace ns_NUK;
using enginetest::ReadAll;
using enginetest::TempDir;
using enginetest::WriteAll;

namespace {

std::string Le64(int64_t v) {
  std::string out;
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xff));
  return out;
}

std::string Record(const std::vector<RangeEntry>& entries, int64_t n) {
  std::string out;
  for (const auto& e : entries) out += Le64(e.first) + Le64(e.second);
  return out + Le64(n);
}

}  // namespace

TEST(ResumeRecordTest, WrittenThroughTheFileAndReadBack) {
  TempDir dir;
  const std::string path = dir.File("p.bin.~P2S");
  int error = 0;
  ASSERT_EQ(CreateSizedFile(path, 1000, error), kSizedOk);
  PackageFile file;
  ASSERT_TRUE(file.OpenForWrite(path));
  const std::string big = EncodeResumeRecord({{300, 499}, {600, 999}, {100, 120}});
  ASSERT_EQ(file.WriteAndEnd(1000, big.size(), big.data()), static_cast<int64_t>(big.size()));
  // A shorter record replaces the longer one without leaving its tail behind.
  const std::string rec = EncodeResumeRecord({{300, 499}, {600, 999}});
  ASSERT_EQ(file.WriteAndEnd(1000, rec.size(), rec.data()), static_cast<int64_t>(rec.size()));
  file.CloseFile();

  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 1040u);
  EXPECT_EQ(bytes.substr(1000), Le64(300) + Le64(499) + Le64(600) + Le64(999) + Le64(2));

  std::map<int64_t, int64_t> ranges;
  ASSERT_TRUE(LoadResumeRecord(path, 1000, ranges));
  EXPECT_EQ(ranges, (std::map<int64_t, int64_t>{{300, 499}, {600, 999}}));
  EXPECT_EQ(CachedBytes(1000, ranges), 1000 - 200 - 400);
}

TEST(ResumeRecordTest, UnsoundRecordsAreIgnored) {
  const int64_t total = 1000;
  struct Case {
    const char* name;
    std::string trailer;
  } cases[] = {
      {"no record", ""},
      {"zero entries", Le64(0)},
      {"negative count", Le64(-3)},
      {"count beyond the file", Record({{0, 10}}, 7)},
      {"truncated entry", Record({{0, 10}}, 1).substr(4)},
      {"reversed entry", Record({{50, 10}}, 1)},
      {"negative first byte", Record({{-100, 10}}, 1)},
      {"last byte past the file", Record({{900, 1000}}, 1)},
      {"more than the file", Record({{0, 999}, {0, 999}}, 2)},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("r");
    WriteAll(path, std::string(total, 'x') + c.trailer);
    std::map<int64_t, int64_t> ranges;
    EXPECT_FALSE(LoadResumeRecord(path, total, ranges)) << c.name;
    EXPECT_TRUE(ranges.empty()) << c.name;
  }
}

TEST(ResumeRecordTest, OverlappingEntriesAreJoined) {
  TempDir dir;
  const std::string path = dir.File("r");
  WriteAll(path,
           std::string(1000, 'x') + Record({{100, 199}, {150, 249}, {100, 120}, {600, 610}}, 4));
  std::map<int64_t, int64_t> ranges;
  ASSERT_TRUE(LoadResumeRecord(path, 1000, ranges));
  EXPECT_EQ(ranges, (std::map<int64_t, int64_t>{{100, 249}, {600, 610}}));
}

TEST(PackageFileTest, CreatesSizedFiles) {
  TempDir dir;
  int error = 0;
  // Missing folders are created; a zero size gives an empty file.
  const std::string deep = dir.Path() + "/a/b/c/pkg.~P2S";
  EXPECT_EQ(CreateSizedFile(deep, 0, error), kSizedOk);
  EXPECT_EQ(nuv::os::FileSize(deep), 0);
  // An existing file is replaced by a fresh, zero-filled one of the size asked.
  const std::string path = dir.File("pkg.~P2S");
  WriteAll(path, std::string(5000, 'z'));
  EXPECT_EQ(CreateSizedFile(path, 3000, error), kSizedOk);
  EXPECT_EQ(ReadAll(path), std::string(3000, '\0'));
  EXPECT_EQ(CreateSizedFile("", 10, error), kSizedEmptyPath);
  // A folder in the way of the file cannot be replaced.
  std::filesystem::create_directories(dir.File("busy/inner"));
  EXPECT_EQ(CreateSizedFile(dir.File("busy"), 10, error), kSizedFailed);
}

TEST(PackageFileTest, WritesAtOffsetsOnlyWhileOpen) {
  TempDir dir;
  const std::string path = dir.File("w");
  int error = 0;
  ASSERT_EQ(CreateSizedFile(path, 10, error), kSizedOk);
  PackageFile file;
  EXPECT_EQ(file.Write(0, 3, "abc"), 0);  // no open file
  ASSERT_TRUE(file.OpenForWrite(path));
  EXPECT_EQ(file.Write(7, 3, "xyz"), 3);
  EXPECT_EQ(file.Write(2, 2, "mn"), 2);
  file.CloseFile();
  EXPECT_EQ(ReadAll(path), std::string("\0\0mn\0\0\0xyz", 10));
  EXPECT_FALSE(file.OpenForWrite(dir.File("missing")));
}

TEST(FileDigestTest, Md5OfFiles) {
  TempDir dir;
  WriteAll(dir.File("empty"), "");
  WriteAll(dir.File("abc"), "abc");
  EXPECT_EQ(FileMd5(dir.File("empty")), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(FileMd5(dir.File("abc")), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(FileMd5(dir.File("missing")), "");
}

TEST(AddressUsesTest, LeastUsedFirstInTextOrder) {
  AddressUses uses;
  EXPECT_EQ(uses.LeastUsedAddress(), "");
  ASSERT_TRUE(uses.SetAddressUses({"10.0.0.2", "10.0.0.1", "10.0.0.3"}));
  EXPECT_EQ(uses.LeastUsedAddress(), "10.0.0.1");
  EXPECT_EQ(uses.LeastUsedAddress(), "10.0.0.2");
  EXPECT_EQ(uses.LeastUsedAddress(), "10.0.0.3");
  EXPECT_EQ(uses.LeastUsedAddress(), "10.0.0.1");
  EXPECT_FALSE(uses.SetAddressUses({}));
}

TEST(MemoryTest, ParsesMemAvailable) {
  uint64_t bytes = 0;
  EXPECT_TRUE(nuv::os::ParseMemAvailable("MemTotal: 10 kB\nMemAvailable:   2048 kB\n", bytes));
  EXPECT_EQ(bytes, 2048u * 1024u);
  EXPECT_FALSE(nuv::os::ParseMemAvailable("MemTotal: 10 kB\n", bytes));
  EXPECT_GT(nuv::os::AvailablePhysicalMemory(), 0u);
}

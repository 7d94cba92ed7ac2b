// The digest computed while a download runs equals the one of the finished file, and is dropped
// when bytes it already hashed are written again.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "engine/file_digest.h"
#include "engine/running_digest.h"
#include "platform/os/random.h"
#include "engine_temp_dir.h"

namespace {

using enginetest::TempDir;

constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kSize = 3 * kMiB + 12345;  // several read blocks and a short last one

void WriteAt(const std::string& path, int64_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool WaitHashed(const ns_NUK::RunningDigest& digest, int64_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (digest.Hashed() < bytes) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class RunningDigestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("pkg.bin.~P2S");
    enginetest::WriteAll(path_, std::string(static_cast<size_t>(kSize), '\0'));
    content_ = nuv::os::RandomBytes(static_cast<size_t>(kSize)).value_or(std::string());
    ASSERT_EQ(content_.size(), static_cast<size_t>(kSize));
  }
  // Writes the content's bytes [from, to) at their place.
  void Fill(int64_t from, int64_t to) {
    WriteAt(path_, from, content_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
  }

  TempDir dir_;
  std::string path_;
  std::string content_;
};

TEST_F(RunningDigestTest, FollowsThePrefixAsRangesArriveOutOfOrder) {
  ns_NUK::RunningDigest digest(path_, kSize);
  // Four ranges arriving in the order 2, 0, 3, 1: the settled prefix grows only at 0 and at 1.
  const int64_t q = kSize / 4;
  Fill(2 * q, 3 * q);
  Fill(0, q);
  digest.Settle(q);
  Fill(3 * q, kSize);
  Fill(q, 2 * q);
  digest.Settle(kSize);
  EXPECT_EQ(digest.Finish(), ns_NUK::FileMd5(path_));
  EXPECT_FALSE(ns_NUK::FileMd5(path_).empty());
}

TEST_F(RunningDigestTest, WriteIntoHashedBytesDropsTheDigestButLaterWritesDoNot) {
  Fill(0, kSize);
  {
    ns_NUK::RunningDigest digest(path_, kSize);
    digest.Settle(2 * kMiB);
    ASSERT_TRUE(WaitHashed(digest, 2 * kMiB));
    WriteAt(path_, 3 * kMiB, "bytes not hashed yet");
    digest.NoteWrite(3 * kMiB);
    digest.Settle(kSize);
    EXPECT_EQ(digest.Finish(), ns_NUK::FileMd5(path_));
  }
  ns_NUK::RunningDigest digest(path_, kSize);
  digest.Settle(2 * kMiB);
  ASSERT_TRUE(WaitHashed(digest, 2 * kMiB));
  WriteAt(path_, 10, "other bytes");
  digest.NoteWrite(10);
  digest.Settle(kSize);
  EXPECT_EQ(digest.Finish(), "");
}

TEST_F(RunningDigestTest, NoDigestUnlessEverythingWasSettledAndReadable) {
  Fill(0, kSize);
  ns_NUK::RunningDigest partial(path_, kSize);
  partial.Settle(kSize - 1);
  EXPECT_EQ(partial.Finish(), "");

  ns_NUK::RunningDigest missing(dir_.File("no-such-file"), kSize);
  missing.Settle(kSize);
  EXPECT_EQ(missing.Finish(), "");

  // A file shorter than announced ends the hash without a digest.
  enginetest::WriteAll(path_, content_.substr(0, kMiB));
  ns_NUK::RunningDigest shorter(path_, kSize);
  shorter.Settle(kSize);
  EXPECT_EQ(shorter.Finish(), "");
}

}  // namespace

#include "log/simple_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%4d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
  return buf;
}

std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.insert(e.path().filename());
  return names;
}

void RunOnce(const std::string& path, const char* message) {
  simpleLog log(path);
  log.Init();
  log.Log(3, "[INFO] %s", message);
}

TEST(SimpleLog, LineFormatAndFirstRunCreatesTheFile) {
  TempDir dir;
  simpleLog log(dir.File("vtNUV.log"));
  log.Init();
  log.Log(3, "[INFO] start, fork=[%d].", 0);
  std::string text = ReadWholeFile(dir.File("vtNUV.log"));
  // Hours without a leading zero, minutes and seconds with two digits; LF line ends.
  EXPECT_TRUE(std::regex_match(
      text,
      std::regex(
          R"(\[\d{4}-\d{2}-\d{2} \d{1,2}:\d{2}:\d{2}\] \d+ - \[INFO\] start, fork=\[0\]\.\n)")))
      << text;
  EXPECT_EQ(FileNames(dir.Path()), std::set<std::string>{"vtNUV.log"});
}

TEST(SimpleLog, RunsOnOneDayRotateToDatedNamesWithCounters) {
  TempDir dir;
  const std::string path = dir.File("vtNUV.log");
  for (const char* run : {"one", "two", "three", "four"}) RunOnce(path, run);
  const std::string d = Today();
  EXPECT_EQ(FileNames(dir.Path()),
            (std::set<std::string>{"vtNUV.log", "vtNUV_" + d + ".log", "vtNUV_" + d + "_1.log",
                                   "vtNUV_" + d + "_2.log"}));
  EXPECT_NE(ReadWholeFile(dir.File("vtNUV_" + d + ".log")).find("one"), std::string::npos);
  EXPECT_NE(ReadWholeFile(dir.File("vtNUV_" + d + "_2.log")).find("three"), std::string::npos);
  EXPECT_NE(ReadWholeFile(path).find("four"), std::string::npos);
}

TEST(SimpleLog, CleanUpKeepsTheFiveNewestAndLeavesTheOtherSetAlone) {
  TempDir dir;
  const std::vector<std::string> old = {"vtNUV_a.log", "vtNUV_b.log", "vtNUV_c.log", "vtNUV_d.log",
                                        "vtNUV_e.log", "vtNUV_f.log", "vtNUV.log"};
  // Oldest first: a and b must go.
  auto base = std::filesystem::file_time_type::clock::now() - std::chrono::hours(100);
  for (size_t i = 0; i < old.size(); ++i) {
    WriteWholeFile(dir.File(old[i]), old[i]);
    std::filesystem::last_write_time(dir.File(old[i]), base + std::chrono::hours(i));
  }
  WriteWholeFile(dir.File("vtForkNUV_x.log"), "fork");
  std::filesystem::last_write_time(dir.File("vtForkNUV_x.log"), base - std::chrono::hours(10));
  WriteWholeFile(dir.File("notes.txt"), "other");

  simpleLog log(dir.File("vtNUV.log"));
  log.Init();
  auto names = FileNames(dir.Path());
  EXPECT_FALSE(names.count("vtNUV_a.log"));
  EXPECT_FALSE(names.count("vtNUV_b.log"));
  for (const char* kept :
       {"vtNUV_c.log", "vtNUV_d.log", "vtNUV_e.log", "vtNUV_f.log", "vtForkNUV_x.log", "notes.txt"})
    EXPECT_TRUE(names.count(kept)) << kept;
  // The previous run's file was rotated, not deleted.
  EXPECT_FALSE(names.count("vtNUV.log"));
  EXPECT_TRUE(names.count("vtNUV_" + Today() + ".log"));
}

TEST(SimpleLog, LinesFromManyThreadsStayWhole) {
  TempDir dir;
  simpleLog log(dir.File("vtNUV.log"));
  log.Init();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i) log.Log(3, "[INFO] thread=[%d] line=[%d] %s", t, i, "payload");
    });
  for (auto& th : threads) th.join();
  std::string text = ReadWholeFile(dir.File("vtNUV.log"));
  std::regex line(R"(\[[^\]]+\] \d+ - \[INFO\] thread=\[\d\] line=\[\d+\] payload)");
  size_t count = 0, start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1, ++count)
    ASSERT_TRUE(std::regex_match(text.substr(start, nl - start), line));
  EXPECT_EQ(count, 800u);
}

TEST(SimpleLog, DisabledWriterNeverWritesAndMacroSkipsWithoutWriter) {
  TempDir dir;
  simpleLog log(dir.File("vtNUV.log"));
  log.SetDisabled(true);
  log.Init();
  log.Log(1, "[ERROR] lost");
  NUV_LOG(1, "[ERROR] %s", "no writer installed");  // must be a harmless no-op
  EXPECT_TRUE(FileNames(dir.Path()).empty());
}

// Writers come and go, by a swap, a removal or their own destruction while installed, as many
// threads log through the process-wide slot. Each writer is freed as soon as it is out, so a
// line still inside it is a use after free for the sanitizers; its file must not grow from then
// on, and every line in it is whole.
TEST(SimpleLog, WritersReplacedAndRemovedWhileThreadsLog) {
  TempDir dir;
  constexpr int kThreads = 6;
  constexpr int kWriters = 24;
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  // Bounded by time, not by a count: without a writer a call is a mere skip, and a count would
  // run out while the writers still come and go.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (long i = 0; !stop.load() && std::chrono::steady_clock::now() < end; ++i) {
        NUV_LOG(3, "[INFO] thread=[%d] line=[%ld] %s", t, i, "payload");
        calls.fetch_add(1);
      }
    });
  // Lines are in flight around every change: the next one waits for more calls than there are
  // threads.
  auto waitForCalls = [&] {
    const long target = calls.load() + 2 * kThreads;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (calls.load() < target && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
  };

  std::vector<std::pair<std::string, uintmax_t>> retired;  // file, size when its writer went
  auto retire = [&](std::unique_ptr<simpleLog>& log) {
    const std::string file = log->CurrentFile();
    log.reset();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    retired.emplace_back(file, ec ? 0 : size);
  };
  std::unique_ptr<simpleLog> current;
  for (int w = 0; w < kWriters; ++w) {
    auto next = std::make_unique<simpleLog>(dir.File("w" + std::to_string(w) + ".log"));
    next->SetRotateOnStart(false);  // the clean-up would take the other writers' files for old logs
    next->Init();
    SetSimpleLog(next.get());  // replaces the previous writer, if any
    if (current) retire(current);
    current = std::move(next);
    waitForCalls();
    switch (w % 3) {
      case 0:  // removed, then freed
        SetSimpleLog(nullptr);
        retire(current);
        waitForCalls();
        break;
      case 1:  // freed while installed
        retire(current);
        EXPECT_EQ(GetSimpleLog(), nullptr);
        waitForCalls();
        break;
      default:  // stays until the next one replaces it
        break;
    }
  }
  if (current) retire(current);
  stop = true;
  for (auto& th : threads) th.join();

  EXPECT_EQ(GetSimpleLog(), nullptr);
  ASSERT_EQ(retired.size(), static_cast<size_t>(kWriters));
  const std::regex line(R"(\[[^\]]+\] \d+ - \[INFO\] thread=\[\d\] line=\[\d+\] payload)");
  size_t total = 0;
  for (const auto& [file, size] : retired) {
    SCOPED_TRACE(file);
    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(text.size(), size) << "written to after its writer was out";
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1, ++total)
      ASSERT_TRUE(std::regex_match(text.substr(start, nl - start), line));
    EXPECT_EQ(start, text.size()) << "a line without its end";
  }
  EXPECT_GT(total, 0u);
}

}  // namespace

// What the engine refuses to trust while it runs as root: a temporary or finished package that is
// not its own file, a redirect from https to http, and a URL's query in the file name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/file_digest.h"
#include "engine/multi_downloader.h"
#include "engine/resume_record.h"
#include "engine_fixture.h"
#include "support/other_user.h"

using namespace enginetest;
using std::chrono::seconds;

namespace {

constexpr int64_t kTotal = 300000;

// Bytes of someone else's choosing with a sound record saying that only the last byte is missing:
// resumed, it would become the package after one byte.
std::string PlantedPartial() {
  return std::string(kTotal, 'P') + ns_NUK::EncodeResumeRecord({{kTotal - 1, kTotal - 1}});
}

struct Planted {
  const char* name;
  // Puts something under `path`; `victim` is a file of root's it may point at.
  void (*plant)(const std::string& path, const std::string& victim);
};

const Planted kPlanted[] = {
    {"link to a file of root's", other_user::PlantLink},
    {"hard link to a file of root's", other_user::PlantHardLink},
    {"another user's file",
     [](const std::string& path, const std::string&) {
       WriteAll(path, PlantedPartial());
       other_user::Give(path);
     }},
    {"FIFO", other_user::PlantFifo},
};

class EngineTrustTest : public EngineTest {
 protected:
  std::string Victim(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    WriteAll(path, bytes);
    chmod(path.c_str(), 0600);
    return path;
  }
};

// Without a digest the only thing that keeps the package right is that a temporary file of
// someone else's is never resumed: it is discarded and the package fetched whole.
TEST_F(EngineTrustTest, TemporaryFileThatIsNotOursIsDiscardedNotResumed) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/t/small.bin", kTotal);
  int id = 1;
  for (const Planted& c : kPlanted) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir_.File("dl" + std::to_string(id));
    std::filesystem::create_directories(folder);
    const std::string victim = Victim("victim" + std::to_string(id), PlantedPartial());
    c.plant(folder + "/small.bin.~P2S", victim);

    ASSERT_EQ(Add(server.Url("/t/small.bin"), folder, id, ""), id);
    ASSERT_TRUE(recorder_.WaitFinished(id, seconds(60)));
    EXPECT_EQ(recorder_.Result(id), 0);
    EXPECT_EQ(ns_NUK::FileMd5(folder + "/small.bin"), Upper(info.md5));
    EXPECT_EQ(ReadAll(victim), PlantedPartial()) << "written through the planted name";
    ++id;
  }
}

// A file already at the target counts as downloaded only when it is our own, even with the right
// bytes: one that someone else can change could be swapped before it runs.
TEST_F(EngineTrustTest, FinishedFileThatIsNotOursIsFetchedAgain) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/t/small.bin", kTotal);
  const std::string bytes = testbed::PatternBytes(info.seed, 0, kTotal);
  int id = 20;
  for (const Planted& c : kPlanted) {
    if (std::string(c.name) == "FIFO") continue;
    SCOPED_TRACE(c.name);
    const std::string folder = dir_.File("done" + std::to_string(id));
    std::filesystem::create_directories(folder);
    const std::string victim = Victim("right" + std::to_string(id), bytes);
    c.plant(folder + "/small.bin", victim);
    if (std::string(c.name) == "another user's file") WriteAll(folder + "/small.bin", bytes);
    server.Log().Clear();

    ASSERT_EQ(Add(server.Url("/t/small.bin"), folder, id, info.md5), id);
    ASSERT_TRUE(recorder_.WaitFinished(id, seconds(60)));
    EXPECT_EQ(recorder_.Result(id), 0);
    bool fetched = false;
    for (const auto& r : server.Requests()) fetched = fetched || r.method == "GET";
    EXPECT_TRUE(fetched) << "taken as already downloaded";
    struct stat st {};
    ASSERT_EQ(lstat((folder + "/small.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_nlink, 1u);
    ++id;
  }
}

// https may be redirected to https only; http to either. A downgrade fails like a refused
// connection, in the size query and in the transfers alike, and the plain server sees no GET.
TEST_F(EngineTrustTest, RedirectFromHttpsToHttpIsAFailedConnection) {
  testbed::Server secure;
  testbed::ServerOptions tls;
  tls.tls = true;
  ASSERT_TRUE(secure.Start(tls));
  testbed::Server plain;
  ASSERT_TRUE(plain.Start());
  const auto info = secure.Packages().AddGenerated("/r/pkg.bin", kTotal);
  plain.Packages().AddGenerated("/r/pkg.bin", kTotal, info.seed);
  const char* before = std::getenv("NUV_CA_BUNDLE");
  const std::string saved = before ? before : "";
  setenv("NUV_CA_BUNDLE", secure.CaBundlePath().c_str(), 1);

  struct Case {
    const char* name;
    testbed::Server* from;
    testbed::Server* to;
    bool ok;
  } cases[] = {
      {"https to http", &secure, &plain, false},
      {"https to https", &secure, &secure, true},
      {"http to https", &plain, &secure, true},
  };
  int id = 40;
  for (bool sizeKnown : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (sizeKnown ? ", transfers" : ", size query"));
      c.from->Packages().AddGenerated("/r/moved.bin", kTotal, info.seed);
      c.from->Packages().SetFaults("/r/moved.bin",
                                   *testbed::ParseFaults("redirect:" + c.to->Url("/r/pkg.bin")));
      plain.Log().Clear();
      KnownSizeResolver known(kTotal, "127.0.0.1");
      ns_NUK::SetHostResolver(sizeKnown ? static_cast<ns_NUK::IHostResolver*>(&known)
                                        : &ns_NUK::NoHostResolution());
      const std::string folder = dir_.File("r" + std::to_string(id));
      ASSERT_EQ(Add(c.from->Url("/r/moved.bin"), folder, id, info.md5), id);
      if (c.ok) {
        ASSERT_TRUE(recorder_.WaitFinished(id, seconds(60)));
        EXPECT_EQ(recorder_.Result(id), 0);
      } else {
        // The first attempt's end (or the size query's failure) is enough to judge.
        ASSERT_TRUE(recorder_.WaitEvents(id, sizeKnown ? "end:0:" : "fail:", seconds(60)));
        Manager().RemoveTask(id);
        ASSERT_TRUE(recorder_.WaitFinished(id, seconds(30)));
        EXPECT_NE(recorder_.Result(id), 0);
        EXPECT_FALSE(std::filesystem::exists(folder + "/moved.bin"));
        for (const auto& r : plain.Requests())
          EXPECT_FALSE(r.method == "GET" && r.path == "/r/pkg.bin") << "followed to plain HTTP";
      }
      ns_NUK::SetHostResolver(&ns_NUK::NoHostResolution());
      ++id;
    }
  }
  if (before)
    setenv("NUV_CA_BUNDLE", saved.c_str(), 1);
  else
    unsetenv("NUV_CA_BUNDLE");
}

TEST_F(EngineTrustTest, QueryAndFragmentAreNotPartOfTheFileName) {
  EXPECT_EQ(ns_NUK::FileNameOfUrl("http://h/p/a.run?x=1/../../etc/passwd#f"), "a.run");
  EXPECT_EQ(ns_NUK::FileNameOfUrl("http://h/p/a.run#frag/b"), "a.run");
  EXPECT_EQ(ns_NUK::FileNameOfUrl("http://h/p/a.run"), "a.run");

  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/q/pkg.bin", kTotal);
  ASSERT_EQ(Add(server.Url("/q/pkg.bin") + "?token=a/b", dir_.Path(), 60, info.md5), 60);
  ASSERT_TRUE(recorder_.WaitFinished(60, seconds(60)));
  EXPECT_EQ(recorder_.Result(60), 0);
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("pkg.bin")), Upper(info.md5));
}

}  // namespace

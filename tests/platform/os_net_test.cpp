// The network pieces of the Linux layer: resolver seam, TCP counter, DNS cache flush.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/os/dns_cache.h"
#include "platform/os/resolver.h"
#include "platform/os/tcp_stats.h"

namespace {

uint32_t Addr(const char* dotted) {
  in_addr a{};
  inet_pton(AF_INET, dotted, &a);
  return a.s_addr;
}

class FixedResolver : public IResolver {
 public:
  bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses) override {
    asked = name;
    addresses = {Addr("10.1.2.3")};
    return true;
  }
  std::string asked;
};

TEST(OsResolver, SystemResolverAnswersLiteralsAndRefusesBadNames) {
  std::vector<uint32_t> got;
  ASSERT_TRUE(ResolveIPv4("127.0.0.7", got));
  EXPECT_EQ(got, std::vector<uint32_t>{Addr("127.0.0.7")});

  std::vector<uint32_t> untouched = {1};
  EXPECT_FALSE(ResolveIPv4("", untouched));
  EXPECT_FALSE(ResolveIPv4("no-such-host.invalid", untouched));
  EXPECT_FALSE(ResolveIPv4("127.0.0.1:8443", untouched));  // a port is not part of a name
  EXPECT_EQ(untouched, std::vector<uint32_t>{1});
}

TEST(OsResolver, ReplacementIsUsedUntilRemoved) {
  FixedResolver fixed;
  SetResolverForTest(&fixed);
  std::vector<uint32_t> got;
  EXPECT_TRUE(ResolveIPv4("pkg.example", got));
  EXPECT_EQ(fixed.asked, "pkg.example");
  EXPECT_EQ(got, std::vector<uint32_t>{Addr("10.1.2.3")});
  SetResolverForTest(nullptr);
  EXPECT_FALSE(ResolveIPv4("pkg.invalid", got));
}

TEST(OsTcpStats, ParsesInSegsFromTheValueLine) {
  const std::string snmp =
      "Ip: Forwarding DefaultTTL\nIp: 1 64\n"
      "Tcp: RtoAlgorithm RtoMin RtoMax MaxConn ActiveOpens PassiveOpens AttemptFails "
      "EstabResets CurrEstab InSegs OutSegs\n"
      "Tcp: 1 200 120000 -1 10 5 0 0 2 987654321012 12\n"
      "Udp: InDatagrams\nUdp: 4\n";
  uint64_t inSegs = 0;
  ASSERT_TRUE(ParseTcpInSegs(snmp, inSegs));
  EXPECT_EQ(inSegs, 987654321012u);

  EXPECT_FALSE(ParseTcpInSegs("Tcp: InSegs\n", inSegs));  // header without values
  EXPECT_FALSE(ParseTcpInSegs("Tcp: OutSegs\nTcp: 3\n", inSegs));
  EXPECT_FALSE(ParseTcpInSegs("", inSegs));
}

TEST(OsTcpStats, ReadsTheLiveCounter) {
  uint64_t inSegs = 0;
  EXPECT_TRUE(ReadTcpInSegs(inSegs));
}

class DnsFlushTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nuv-dnsflush-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const char* path = getenv("PATH");
    oldPath_ = path ? path : "";
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    std::remove((dir_ + "/resolvectl").c_str());
    std::remove((dir_ + "/args").c_str());
    rmdir(dir_.c_str());
  }
  void WriteFakeResolvectl(int exitCode) {
    std::string script = dir_ + "/resolvectl";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > '" << dir_ << "/args'\nexit " << exitCode
                          << "\n";
    chmod(script.c_str(), 0755);
  }
  std::string dir_;
  std::string oldPath_;
};

TEST_F(DnsFlushTest, RunsResolvectlFlushCachesAndReturnsItsCode) {
  WriteFakeResolvectl(3);
  setenv("PATH", (dir_ + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_EQ(FlushDnsCache(), 3);
  std::ifstream args(dir_ + "/args");
  std::string line;
  std::getline(args, line);
  EXPECT_EQ(line, "flush-caches");

  WriteFakeResolvectl(0);
  EXPECT_EQ(FlushDnsCache(), 0);
}

TEST_F(DnsFlushTest, NothingToRunWhenResolvectlIsAbsent) {
  setenv("PATH", dir_.c_str(), 1);
  EXPECT_EQ(FlushDnsCache(), kDnsFlushUnavailable);
}

}  // namespace

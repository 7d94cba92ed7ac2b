// Host switching of the service API calls: primary first, one fallback request when the reply
// does not carry "code" 0, and no memory of which host answered.
#include "http/api_request.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "http/log_capture.h"
#include "http/raw_server.h"
#include "http/api_base.h"

namespace {

using namespace std::chrono_literals;

class ApiRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(primary_.Start());
    ASSERT_TRUE(fallback_.Start());
    saved_ = GetApiHosts();
    SetApiHosts({primary_.Url(""), fallback_.Url("")});
    fallback_.SetHandler([](const RawRequest&) {
      return RawServer::Response(500, "{\"code\":1001,\"msg\":\"down\"}");
    });
  }
  void TearDown() override { SetApiHosts(saved_); }

  void PrimaryAnswers(const std::string& wire) {
    primary_.SetHandler([wire](const RawRequest&) { return wire; });
  }

  RawServer primary_;
  RawServer fallback_;
  ApiHosts saved_;
};

TEST_F(ApiRequestTest, CodeZeroIsReturnedWithoutTouchingTheFallback) {
  LogCapture log;
  PrimaryAnswers(RawServer::Response(200, "{\"code\":0,\"data\":{}}"));
  EXPECT_EQ(ApiRequest("/v1/a", {"Content-Type: application/json"}, "{}"),
            "{\"code\":0,\"data\":{}}");
  EXPECT_EQ(primary_.Count(), 1u);
  EXPECT_EQ(fallback_.Count(), 0u);
  EXPECT_EQ(log.Count("switch host domain"), 0);
}

TEST_F(ApiRequestTest, AnyOtherReplySendsTheSameRequestOnceToTheFallback) {
  const std::string wires[] = {
      RawServer::Response(401, "{\"code\":401,\"msg\":\"token\"}"),
      RawServer::Response(200, "{\"msg\":\"no code\"}"),
      RawServer::Response(200, "{\"code\":\"0\"}"),  // a text is not a number
      RawServer::Response(200, "<html>proxy</html>"),
      "",  // the connection closes without a reply
  };
  const HeaderList headers = {"Authorization: Bearer t", "Content-Type: application/json"};
  const std::string body = "{\"pid\":7}";
  size_t before = 0;
  for (const std::string& wire : wires) {
    LogCapture log;
    PrimaryAnswers(wire);
    EXPECT_EQ(ApiRequest("/v1/logs/report", headers, body), "{\"code\":1001,\"msg\":\"down\"}");
    ASSERT_EQ(fallback_.Count(), before + 1) << wire;
    RawRequest p = primary_.Requests().back();
    RawRequest f = fallback_.Requests().back();
    EXPECT_EQ(f.requestLine, "POST /v1/logs/report HTTP/1.0");
    EXPECT_EQ(f.requestLine, p.requestLine);
    EXPECT_EQ(f.body, body);
    EXPECT_EQ(f.Header("Authorization"), "Bearer t");
    EXPECT_EQ(log.Count("[WARN] switch host domain."), 1);
    ++before;
  }
  // Every call starts over at the primary.
  EXPECT_EQ(primary_.Count(), std::size(wires));
}

TEST_F(ApiRequestTest, QuietFormSwitchesWithoutTheWarning) {
  LogCapture log;
  PrimaryAnswers(RawServer::Response(200, "{\"code\":3}"));
  ApiRequest("/v3/user/client/token", {}, "{}", false);
  EXPECT_EQ(fallback_.Count(), 1u);
  EXPECT_EQ(log.Count("switch host domain"), 0);
}

TEST_F(ApiRequestTest, FormUploadSwitchesHostsTheSameWay) {
  char pattern[] = "/tmp/nuv-upload-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string file = std::string(pattern) + "/a.log";
  std::ofstream(file) << "x";

  PrimaryAnswers(RawServer::Response(200, "{\"code\":0}"));
  EXPECT_EQ(ApiFormUploadRequest("/v1/up", file, {}), "{\"code\":0}");
  EXPECT_EQ(fallback_.Count(), 0u);

  PrimaryAnswers(RawServer::Response(200, "{\"code\":9}"));
  EXPECT_EQ(ApiFormUploadRequest("/v1/up", file, {"Authorization: Bearer t"}),
            "{\"code\":1001,\"msg\":\"down\"}");
  ASSERT_EQ(fallback_.Count(), 1u);
  EXPECT_EQ(fallback_.Requests()[0].requestLine, "POST /v1/up HTTP/1.0");
  EXPECT_NE(fallback_.Requests()[0].body.find("filename=\"a.log\""), std::string::npos);
  unlink(file.c_str());
  rmdir(pattern);
}

TEST(ReplyCode, ReadsTheIntegerCodeOrMinusOne) {
  struct Case {
    const char* reply;
    int code;
  } cases[] = {{"{\"code\":0}", 0},
               {"{\"code\":401}", 401},
               {"{\"code\":\"0\"}", -1},
               {"{\"data\":1}", -1},
               {"[0]", -1},
               {"", -1},
               {"not json", -1},
               {"{\"code\":null}", -1}};
  for (const Case& c : cases) EXPECT_EQ(ReplyCode(c.reply), c.code) << c.reply;
}

}  // namespace

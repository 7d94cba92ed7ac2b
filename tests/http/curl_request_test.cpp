// CurlRequest and CurlFormDataRequest against a loopback server that keeps the raw request.
#include "http/curl_request.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "http/log_capture.h"
#include "http/raw_server.h"
#include "xml/utf.h"

namespace {

using namespace std::chrono_literals;

class CurlRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Send(RequestKind kind, const std::string& path, const HeaderList& headers,
                   bool http10, bool capture, const std::string& body, int& code) {
    return CurlRequest(kind, Utf8ToWide(server_.Url(path)), headers, http10, capture, body, code);
  }

  RawServer server_;
};

TEST_F(CurlRequestTest, PostPutsPathHeadersInOrderAndBodyBytesOnTheWire) {
  const std::string body("{\"a\":1}\0tail\r\n", 14);
  const HeaderList headers = {"X-First: 1", "Content-Type: application/json", "X-Last: z"};
  int code = -5;
  std::string reply = Send(kRequestPost, "/v1/x?a=1&b=2", headers, true, false, body, code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(reply, "ok");

  ASSERT_EQ(server_.Count(), 1u);
  RawRequest r = server_.Requests()[0];
  EXPECT_EQ(r.requestLine, "POST /v1/x?a=1&b=2 HTTP/1.0");
  EXPECT_EQ(r.body, body);
  EXPECT_EQ(r.Header("Content-Length"), "14");
  std::vector<std::string> ours;
  for (const std::string& line : r.headers)
    if (line.rfind("X-", 0) == 0 || line.rfind("Content-Type", 0) == 0) ours.push_back(line);
  EXPECT_EQ(ours, headers);
}

TEST_F(CurlRequestTest, KindAndVersionChooseTheRequestLine) {
  struct Case {
    RequestKind kind;
    bool http10;
    const char* line;
  } cases[] = {
      {kRequestGet, false, "GET /g HTTP/1.1"},
      {kRequestHead, false, "HEAD /g HTTP/1.1"},
      {kRequestGet, true, "GET /g HTTP/1.0"},
  };
  for (const Case& c : cases) {
    int code = -1;
    Send(c.kind, "/g", {}, c.http10, false, "", code);
    EXPECT_EQ(code, 0) << c.line;
    EXPECT_EQ(server_.Requests().back().requestLine, c.line);
    EXPECT_TRUE(server_.Requests().back().body.empty());
  }
}

TEST_F(CurlRequestTest, ReplyBodyLosesCrLfPairsOnlyAndKeepsEveryByte) {
  // Large enough to arrive in several blocks; NUL bytes must not cut it.
  std::string big;
  for (int i = 0; i < 40000; ++i) big += std::string("ab\0\r\n", 5);
  struct Case {
    std::string served;
    std::string expected;
  } cases[] = {
      {"line1\r\nline2\r\n", "line1line2"},
      {"a\nb\rc\r\r\nd\n\r", "a\nb\rc\rd\n\r"},
      {big,
       [&] {
         std::string e;
         for (int i = 0; i < 40000; ++i) e += std::string("ab\0", 3);
         return e;
       }()},
  };
  for (const Case& c : cases) {
    server_.SetHandler([&](const RawRequest&) { return RawServer::Response(200, c.served); });
    int code = -1;
    std::string reply = Send(kRequestGet, "/b", {}, false, false, "", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(reply, c.expected);
  }
}

TEST_F(CurlRequestTest, CapturedHeadersComeFirstUnchangedAndAnyStatusIsAReply) {
  server_.SetHandler(
      [](const RawRequest&) { return RawServer::Response(404, "no\r\nthing", {"X-Tag: t"}); });
  int code = -1;
  std::string reply = Send(kRequestGet, "/h", {}, false, true, "", code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(reply,
            "HTTP/1.1 404 X\r\nX-Tag: t\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnothing");
}

TEST(CurlRequestFailure, TransportErrorIsTheCurlCodeAndIsLogged) {
  LogCapture log;
  int code = 0;
  std::string url = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x";
  std::string reply = CurlRequest(kRequestGet, Utf8ToWide(url), {}, true, false, "", code);
  EXPECT_EQ(code, CURLE_COULDNT_CONNECT);
  EXPECT_TRUE(reply.empty());
  EXPECT_EQ(log.Count("[ERROR] curl request, curl easy perform failed, code=[7]."), 1);
}

class FormDataTest : public CurlRequestTest {
 protected:
  void SetUp() override {
    CurlRequestTest::SetUp();
    char pattern[] = "/tmp/nuv-form-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/vtNUV_20261211.log";
    std::ofstream(file_, std::ios::binary) << std::string("log\0line\r\n", 10);
  }
  void TearDown() override {
    unlink(file_.c_str());
    rmdir(dir_.c_str());
  }
  std::string dir_;
  std::string file_;
};

TEST_F(FormDataTest, UploadsTheFileAsPartFileWithItsBaseName) {
  server_.SetHandler(
      [](const RawRequest&) { return RawServer::Response(200, "{\"code\":0}\r\n"); });
  const HeaderList headers = {"Authorization: Bearer tok", "Content-Type: multipart/form-data"};
  int code = -1;
  std::string reply = CurlFormDataRequest(server_.Url("/up"), headers, file_, code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(reply, "{\"code\":0}");

  ASSERT_EQ(server_.Count(), 1u);
  RawRequest r = server_.Requests()[0];
  EXPECT_EQ(r.requestLine, "POST /up HTTP/1.0");
  EXPECT_EQ(r.Header("Authorization"), "Bearer tok");
  std::string type = r.Header("Content-Type");
  ASSERT_EQ(type.rfind("multipart/form-data; boundary=", 0), 0u) << type;
  std::string boundary = type.substr(type.find('=') + 1);
  EXPECT_NE(r.body.find("--" + boundary + "\r\n"), std::string::npos);
  EXPECT_NE(r.body.find("Content-Disposition: form-data; name=\"file\"; "
                        "filename=\"vtNUV_20261211.log\""),
            std::string::npos);
  const std::string content("log\0line\r\n", 10);
  EXPECT_NE(r.body.find("\r\n\r\n" + content + "\r\n--" + boundary + "--"), std::string::npos);
}

TEST_F(FormDataTest, MissingFileFailsWithTheCurlCodeAndItsLogLine) {
  LogCapture log;
  int code = 0;
  CurlFormDataRequest(server_.Url("/up"), {}, dir_ + "/absent.log", code);
  EXPECT_NE(code, 0);
  EXPECT_EQ(log.Count("[ERROR] curl form data request, curl easy perform failed, code=[" +
                      std::to_string(code) + "]."),
            1);
}

}  // namespace

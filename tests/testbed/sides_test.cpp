#include <gtest/gtest.h>
#include <httplib.h>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

class EchoSide : public Side {
 public:
  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override {
    if (req.path != "/echo" && req.path != "/shadowed") return false;
    res.set_content(req.method + " " + req.body + " on " + ctx.localAddress, "text/plain");
    return true;
  }
};

TEST(Sides, CannedAnswersAndAddedSidesComeBeforeTheBuiltInOnes) {
  Server server;
  CannedAnswer xml;
  xml.body = "<Config/>";
  xml.contentType = "text/xml";
  xml.headers = {{"X-Extra", "1"}};
  server.Canned().Set("GET", "/runtime.xml", xml);
  CannedAnswer anyMethod;
  anyMethod.status = 201;
  anyMethod.body = "{\"code\":0}";
  server.Canned().Set("", "/api/token", anyMethod);
  server.Canned().Set("GET", "/shadowed", xml);
  server.AddSide(std::make_shared<EchoSide>());
  ASSERT_TRUE(server.Start());

  FetchResult config = Fetch(server.Url("/runtime.xml"));
  EXPECT_EQ(config.body, "<Config/>");
  EXPECT_EQ(config.Header("X-Extra"), "1");
  EXPECT_EQ(Fetch(server.Url("/runtime.xml"), FetchOptions().Post("x")).status, 404);

  FetchResult token = Fetch(server.Url("/api/token"), FetchOptions().Post("{}"));
  EXPECT_EQ(token.status, 201);
  EXPECT_EQ(token.body, "{\"code\":0}");

  EXPECT_EQ(Fetch(server.Url("/echo"), FetchOptions().Post("hi")).body, "POST hi on 127.0.0.1");
  EXPECT_EQ(Fetch(server.Url("/shadowed")).body, "GET  on 127.0.0.1");
}

}  // namespace
}  // namespace testbed

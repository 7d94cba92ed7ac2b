// The product configuration load ends with the product-series post.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "http/api_base.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "testbed/service_api_side.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

namespace {

class SeriesPostTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    api_ = std::make_shared<testbed::ServiceApiSide>();
    server_.AddSide(api_);
    ASSERT_TRUE(server_.Start());
    saved_ = GetApiHosts();
    SetApiHosts({server_.BaseUrl(), server_.BaseUrl()});
  }
  void TearDown() override {
    SetApiHosts(saved_);
    server_.Stop();
    SessionEnvTest::TearDown();
  }

  testbed::Server server_;
  std::shared_ptr<testbed::ServiceApiSide> api_;
  ApiHosts saved_;
};

TEST_F(SeriesPostTest, LoadPostsTheProductIdAndTheBrandsClientSign) {
  UseProductXml(
      "<?xml version=\"1.0\"?><Product><ProductBrand>NuvBrand</ProductBrand>"
      "<ProductID>4321</ProductID></Product>");
  NuvMgr mgr;
  ASSERT_TRUE(mgr.LoadLocalXml());

  const std::string sign = WideToUtf8(platform::ReadClientSign(u"NuvBrand"));
  ASSERT_FALSE(sign.empty());
  std::vector<testbed::RecordedRequest> posts;
  for (const auto& r : server_.Requests())
    if (r.path == testbed::ServiceApiSide::kSeriesPath) posts.push_back(r);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, "{\"product_id\":4321, \"client_sign\":\"" + sign + "\"}");
  EXPECT_TRUE(Logged("[INFO] post info ok."));
}

TEST_F(SeriesPostTest, AnUnreachableServiceDoesNotFailTheLoad) {
  server_.Stop();
  UseProductXml("<?xml version=\"1.0\"?><Product><ProductID>4321</ProductID></Product>");
  NuvMgr mgr;
  EXPECT_TRUE(mgr.LoadLocalXml());
  EXPECT_TRUE(Logged("[ERROR] post info failed! result=[]."));
}

}  // namespace

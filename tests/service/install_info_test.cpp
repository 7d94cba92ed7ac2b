#include "service/install_info.h"

#include "service_env.h"

namespace {

class InstallInfoTest : public ServiceTest {};

TEST_F(InstallInfoTest, PostsTheProductAndSignWithAFixedVersionToken) {
  EXPECT_TRUE(PostInstallInfo("1234", "S"));

  auto token = Requests(ServiceApiSide::kTokenPath);
  ASSERT_EQ(token.size(), 1u);
  EXPECT_EQ(token[0].Header("X-Prod-Id"), "1234");
  EXPECT_EQ(token[0].Header("X-Prod-Ver"), "1.1.1");
  EXPECT_EQ(token[0].Header("X-Client-Sn"), "S");

  auto post = Requests(ServiceApiSide::kSeriesPath);
  ASSERT_EQ(post.size(), 1u);
  EXPECT_EQ(post[0].method, "POST");
  EXPECT_EQ(post[0].localAddress, kPrimary);
  EXPECT_EQ(post[0].body, "{\"product_id\":1234, \"client_sign\":\"S\"}");
  EXPECT_EQ(OwnHeaders(post[0]), (std::vector<std::string>{"Content-Type: application/json",
                                                           "Authorization: Bearer tb-token-1"}));
  EXPECT_TRUE(Logged("[INFO] post info ok."));
}

TEST_F(InstallInfoTest, RefusalTriesTheFallbackOnceQuietlyAndLogsItsReply) {
  Code(ServiceApiSide::kSeriesPath, 400, kPrimary);
  Answer(ServiceApiSide::kSeriesPath, "{\"code\":401}", kFallback);
  EXPECT_FALSE(PostInstallInfo("1234", "S"));
  EXPECT_EQ(Requests(ServiceApiSide::kSeriesPath, kFallback).size(), 1u);
  EXPECT_TRUE(Logged("[ERROR] post info failed! result=[{\"code\":401}]."));
  EXPECT_FALSE(Logged("[WARN] switch host domain."));
}

TEST_F(InstallInfoTest, WithoutATokenThePostStillGoesWithAnEmptyBearer) {
  Code(ServiceApiSide::kTokenPath, 500);
  EXPECT_FALSE(PostInstallInfo("1234", "S"));  // the service refuses the empty bearer
  auto post = Requests(ServiceApiSide::kSeriesPath);
  ASSERT_EQ(post.size(), 2u);
  EXPECT_EQ(post[0].Header("Authorization"), "Bearer");  // the value's trailing blank is not kept
  EXPECT_TRUE(post[0].HasHeader("Authorization"));
}

TEST_F(InstallInfoTest, NoReplyFromEitherHostFails) {
  server_.Stop();
  EXPECT_FALSE(PostInstallInfo("1234", "S"));
  EXPECT_TRUE(Logged("[ERROR] post info failed! result=[]."));
}

// A value that is no number, or a sign with a quote, must not break the JSON of the body.
TEST(InstallInfoBody, StaysValidJson) {
  struct Case {
    const char* id;
    const char* sign;
    const char* body;
  } cases[] = {
      {"1234", "{A-B G}", "{\"product_id\":1234, \"client_sign\":\"{A-B G}\"}"},
      {"", "S", "{\"product_id\":\"\", \"client_sign\":\"S\"}"},
      {"12x", "S", "{\"product_id\":\"12x\", \"client_sign\":\"S\"}"},
      {"0012", "S", "{\"product_id\":\"0012\", \"client_sign\":\"S\"}"},
      {"7", "a\"b", "{\"product_id\":7, \"client_sign\":\"a\\\"b\"}"},
  };
  for (const Case& c : cases) EXPECT_EQ(InstallInfoBody(c.id, c.sign), c.body) << c.id;
}

}  // namespace

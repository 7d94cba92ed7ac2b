#include "service/retention_client.h"

#include "service_env.h"

namespace {

const char* const kStrategy =
    "{\"id\":4294967301,\"type\":2,\"tips\":{\"title\":\"送你会员\",\"content\":\"填写邮箱\"}}";

class RetentionClientTest : public ServiceTest {
 protected:
  std::vector<std::string> ClientHeaders(const std::string& version) const {
    return {"X-Client-Sn: SIGN", "X-Client-Type: 1", "X-App-Key: c3a1f0e7b295d4806e1f2a9c.mock",
            "X-Prod-Id: 10819",  "X-Lang: zh-cn",    "X-Prod-Ver: " + version};
  }
  RetentionClient client_;
};

TEST_F(RetentionClientTest, QueryReadsTheStrategyFromThePrimaryHost) {
  api_->SetStrategy(kStrategy);
  EXPECT_TRUE(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"));
  EXPECT_EQ(client_.StrategyId(), 4294967301LL);
  EXPECT_EQ(client_.StrategyType(), 2);
  EXPECT_EQ(client_.TipsTitle(), "送你会员");
  EXPECT_EQ(client_.TipsContent(), "填写邮箱");

  auto all = Requests("");
  ASSERT_EQ(all.size(), 2u);
  const auto& token = all[0];
  EXPECT_EQ(token.path, ServiceApiSide::kTokenPath);
  EXPECT_EQ(token.method, "POST");
  std::vector<std::string> tokenHeaders = {"Content-Type: application/json"};
  for (const std::string& h : ClientHeaders("2.5.1")) tokenHeaders.push_back(h);
  EXPECT_EQ(OwnHeaders(token), tokenHeaders);

  const auto& query = all[1];
  EXPECT_EQ(query.method, "GET");
  EXPECT_EQ(query.path, "/v1/product/downloader/recovery");
  EXPECT_EQ(query.query, "version=1.0.0");
  EXPECT_EQ(query.localAddress, kPrimary);
  std::vector<std::string> queryHeaders = {"Authorization: Bearer tb-token-1"};
  for (const std::string& h : ClientHeaders("2.5.1")) queryHeaders.push_back(h);
  EXPECT_EQ(OwnHeaders(query), queryHeaders);
  EXPECT_TRUE(Logged("[INFO] query redeem request = " + server_.BaseUrl(kPrimary) +
                     "/v1/product/downloader/recovery?version=1.0.0"));
  EXPECT_TRUE(Logged("[INFO] query redeem response = {\"code\":0"));
  EXPECT_TRUE(Logged("[INFO] x-lang=[zh-cn]"));
}

struct QueryCase {
  const char* name;
  const char* reply;
  bool ok;
  int loggedCode;  // in the error line when !ok
  int type;        // strategy type afterwards (previous: 1)
  int64_t id;      // strategy id afterwards (previous: 77)
  const char* title;
};

const QueryCase kQueryCases[] = {
    {"data_null", "{\"code\":0,\"data\":null}", false, 0, 1, 77, "old"},
    {"no_data", "{\"code\":0}", false, 0, 1, 77, "old"},
    {"data_not_object", "{\"code\":0,\"data\":\"x\"}", false, 0, 1, 77, "old"},
    {"refused", "{\"code\":3,\"data\":{\"type\":2}}", false, 3, 1, 77, "old"},
    {"not_json", "<html>", false, -1, 1, 77, "old"},
    {"code_as_text", "{\"code\":\"0\",\"data\":{\"type\":2}}", false, -1, 1, 77, "old"},
    {"no_tips", "{\"code\":0,\"data\":{\"id\":5,\"type\":2}}", true, 0, 2, 5, "old"},
    {"tips_null", "{\"code\":0,\"data\":{\"type\":2,\"tips\":null}}", true, 0, 2, 77, "old"},
    {"members_of_wrong_type",
     "{\"code\":0,\"data\":{\"id\":\"9\",\"type\":1.5,\"tips\":{\"title\":7}}}", true, 0, 1, 77,
     "old"},
};

class RetentionQueryTest : public RetentionClientTest,
                           public ::testing::WithParamInterface<QueryCase> {};

TEST_P(RetentionQueryTest, FailedOrPartialRepliesKeepWhatWasRead) {
  const QueryCase& c = GetParam();
  api_->SetStrategy("{\"id\":77,\"type\":1,\"tips\":{\"title\":\"old\",\"content\":\"old\"}}");
  ASSERT_TRUE(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"));

  Answer(ServiceApiSide::kRecoveryPath, c.reply);
  EXPECT_EQ(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"), c.ok);
  EXPECT_EQ(client_.StrategyType(), c.type);
  EXPECT_EQ(client_.TipsTitle(), c.title);
  EXPECT_EQ(client_.StrategyId(), c.id);
  if (!c.ok) {
    EXPECT_TRUE(Logged("[ERROR] query retention strategy failed! err=[" +
                       std::to_string(c.loggedCode) + "]."));
  }
  // Retention calls never switch hosts.
  EXPECT_EQ(Requests("", kFallback).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Replies, RetentionQueryTest, ::testing::ValuesIn(kQueryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RetentionClientTest, EmptyProductVersionIsSentAsTheDefaultAndKept) {
  client_.QueryRetentionStrategy(10819, "", "SIGN", "1.0.0");
  EXPECT_EQ(client_.ProductVersion(), "4.0.5.0");
  HeaderList later;
  client_.AddClientHeaders(later);
  EXPECT_EQ(later, ClientHeaders("4.0.5.0"));
  for (const auto& r : Requests("")) EXPECT_EQ(r.Header("X-Prod-Ver"), "4.0.5.0");
}

TEST_F(RetentionClientTest, TokenWithNullDataSendsAnEmptyBearer) {
  Answer(ServiceApiSide::kTokenPath, "{\"code\":0,\"data\":null}");
  EXPECT_FALSE(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"));
  auto query = Requests(ServiceApiSide::kRecoveryPath);
  ASSERT_EQ(query.size(), 1u);
  EXPECT_TRUE(query[0].HasHeader("Authorization"));
  EXPECT_EQ(query[0].Header("Authorization"), "Bearer");
  EXPECT_TRUE(Logged("[ERROR] query retention strategy failed! err=[401]."));
}

TEST_F(RetentionClientTest, ApplyNamesTheWholeStrategyId) {
  api_->SetStrategy(kStrategy);
  ASSERT_TRUE(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"));
  EXPECT_EQ(client_.ApplyAuthorization("a@b.cn"), 0);

  auto apply = Requests("/v1/product/downloader/recovery/4294967301/apply");
  ASSERT_EQ(apply.size(), 1u);
  EXPECT_EQ(apply[0].method, "POST");
  EXPECT_EQ(apply[0].body, "{\"email\":\"a@b.cn\"}");
  std::vector<std::string> headers = {"Authorization: Bearer tb-token-1",
                                      "Content-Type: application/json"};
  for (const std::string& h : ClientHeaders("2.5.1")) headers.push_back(h);
  EXPECT_EQ(OwnHeaders(apply[0]), headers);
  EXPECT_EQ(Requests(ServiceApiSide::kTokenPath).size(), 2u);  // a token per call
  EXPECT_TRUE(Logged("[INFO] apply auth success."));
}

TEST_F(RetentionClientTest, ApplyReturnsTheServiceCode) {
  api_->SetStrategy(kStrategy);
  ASSERT_TRUE(client_.QueryRetentionStrategy(10819, "2.5.1", "SIGN", "1.0.0"));
  const std::string path = "/v1/product/downloader/recovery/4294967301/apply";
  Answer(path, "{\"code\":1001,\"msg\":\"already applied\"}");
  EXPECT_EQ(client_.ApplyAuthorization("a\"@b.cn"), 1001);
  EXPECT_TRUE(Logged("[ERROR] apply auth failed! err=[1001][already applied]."));
  EXPECT_EQ(Requests(path).back().body, "{\"email\":\"a\\\"@b.cn\"}");

  server_.Stop();
  EXPECT_EQ(client_.ApplyAuthorization("a@b.cn"), -1);
  EXPECT_TRUE(Logged("[ERROR] apply auth failed! err=[-1][]."));
}

}  // namespace

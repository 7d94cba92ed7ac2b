#include "service/client_token.h"

#include "service_env.h"

namespace {

const char* const kTokenBody =
    "{\"grant_type\":\"client_credentials\",\"app_secret\":\"Wq7RzN2kLmV5sT8yHd3GxJ6bFc9PuE4aKn\"}";

class ClientTokenTest : public ServiceTest {};

TEST_F(ClientTokenTest, RequestCarriesTheIdentificationHeadersAndTheSecret) {
  EXPECT_EQ(RequestClientToken("14424", "SIGN", "4.4.0.0"), "tb-token-1");

  auto requests = Requests("");
  ASSERT_EQ(requests.size(), 1u);  // code 0 from the primary: the fallback stays untouched
  const auto& r = requests[0];
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.path, "/v3/user/client/token");
  EXPECT_EQ(r.localAddress, kPrimary);
  EXPECT_EQ(r.body, kTokenBody);
  EXPECT_EQ(OwnHeaders(r), (std::vector<std::string>{
                               "X-Client-Type: 1",
                               "Content-Type: application/json",
                               "X-App-Key: c3a1f0e7b295d4806e1f2a9c.mock",
                               "X-Client-Sn: SIGN",
                               "X-Prod-Id: 14424",
                               "X-Prod-Ver: 4.4.0.0",
                           }));
}

struct TokenCase {
  const char* name;
  const char* primary;   // answer body on the primary host; nullptr: built-in
  const char* fallback;  // answer body on the fallback host; nullptr: built-in
  const char* token;
  size_t fallbackRequests;
};

const TokenCase kTokenCases[] = {
    {"refused_then_fallback", "{\"code\":401}", nullptr, "tb-token-1", 1},
    {"not_json", "<html>busy</html>", nullptr, "tb-token-1", 1},
    {"code_as_text", "{\"code\":\"0\",\"data\":{\"access_token\":\"X\"}}", nullptr, "tb-token-1",
     1},
    {"no_code", "{\"data\":{\"access_token\":\"X\"}}", nullptr, "tb-token-1", 1},
    {"code0_without_data", "{\"code\":0}", nullptr, "", 0},
    {"data_null", "{\"code\":0,\"data\":null}", nullptr, "", 0},
    {"data_of_wrong_type", "{\"code\":0,\"data\":[\"access_token\"]}", nullptr, "", 0},
    {"token_of_wrong_type", "{\"code\":0,\"data\":{\"access_token\":12}}", nullptr, "", 0},
    {"fallback_reply_is_used_even_if_bad", "{\"code\":5}", "{\"code\":6}", "", 1},
};

class TokenReplyTest : public ClientTokenTest, public ::testing::WithParamInterface<TokenCase> {};

TEST_P(TokenReplyTest, TokenAndFallbackFollowTheReply) {
  const TokenCase& c = GetParam();
  if (c.primary) Answer(ServiceApiSide::kTokenPath, c.primary, kPrimary);
  if (c.fallback) Answer(ServiceApiSide::kTokenPath, c.fallback, kFallback);

  EXPECT_EQ(RequestClientToken("1", "S", "1.1.1"), c.token);
  EXPECT_EQ(Requests(ServiceApiSide::kTokenPath, kPrimary).size(), 1u);
  auto fallback = Requests(ServiceApiSide::kTokenPath, kFallback);
  ASSERT_EQ(fallback.size(), c.fallbackRequests);
  if (!fallback.empty()) {
    EXPECT_EQ(fallback[0].body, kTokenBody);
  }
  // The token request switches quietly.
  EXPECT_FALSE(Logged("[WARN] switch host domain."));
}

INSTANTIATE_TEST_SUITE_P(Replies, TokenReplyTest, ::testing::ValuesIn(kTokenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClientTokenTest, FailureLogsTheFallbackReply) {
  Code(ServiceApiSide::kTokenPath, 500, kPrimary);
  Answer(ServiceApiSide::kTokenPath, "{\"code\":503,\"msg\":\"from fallback\"}", kFallback);
  EXPECT_EQ(RequestClientToken("1", "S", "1"), "");
  EXPECT_TRUE(
      Logged("[ERROR] get token failed! result=[{\"code\":503,\"msg\":\"from fallback\"}]."))
      << LogText();
}

TEST_F(ClientTokenTest, NoServiceAtAllGivesAnEmptyToken) {
  server_.Stop();
  EXPECT_EQ(RequestClientToken("1", "S", "1"), "");
  EXPECT_TRUE(Logged("[ERROR] get token failed! result=[]."));
}

TEST_F(ClientTokenTest, PrimaryThatDoesNotAnswerInTimeLeavesItToTheFallback) {
  api_->SetAnswer(ServiceApiSide::kTokenPath, {200, "{\"code\":0}", 8000}, kPrimary);
  EXPECT_EQ(RequestClientToken("1", "S", "1"), "tb-token-1");
  EXPECT_EQ(Requests(ServiceApiSide::kTokenPath, kFallback).size(), 1u);
}

TEST_F(ClientTokenTest, HugeReplyIsCutInTheLog) {
  Answer(ServiceApiSide::kTokenPath, "{\"code\":9,\"pad\":\"" + std::string(1 << 20, 'x') + "\"}");
  EXPECT_EQ(RequestClientToken("1", "S", "1"), "");
  EXPECT_TRUE(Logged("[ERROR] get token failed! result=[{\"code\":9"));
  EXPECT_LT(LogText().size(), 16u * 1024);
}

}  // namespace

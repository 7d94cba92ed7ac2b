// The close-time retention offer: which strategy the service has for this client, and the
// application for its benefit. Both go to the primary API host only, each with a token of its own.
#pragma once

#include <cstdint>
#include <string>

#include "http/curl_request.h"
#include "service/client_token.h"

class RetentionClient {
 public:
  // Stores the identity, asks for the strategy and keeps it. False (previous strategy kept) when
  // the reply has no "code" 0 or no strategy object.
  bool QueryRetentionStrategy(int productId, const std::string& productVersion,
                              const std::string& clientSign, const std::string& queryVersion);
  // Keeps the strategy of a recovery reply (what QueryRetentionStrategy does with the reply).
  bool ReadStrategyReply(const std::string& reply);
  // Applies for the benefit of the strategy last read; the reply's "code" (-1 when it has none).
  int ApplyAuthorization(const std::string& email);

  // X-Client-Sn, X-Client-Type, X-App-Key, X-Prod-Id, X-Lang, X-Prod-Ver, in that order. An empty
  // product version becomes "4.0.5.0" and stays so.
  void AddClientHeaders(HeaderList& headers);
  // The token request with the identification headers; empty when it failed.
  std::string FetchToken();

  int StrategyType() const { return strategyType_; }
  int64_t StrategyId() const { return strategyId_; }
  const std::string& TipsTitle() const { return tipsTitle_; }
  const std::string& TipsContent() const { return tipsContent_; }
  const std::string& ProductVersion() const { return productVersion_; }

 private:
  std::string queryVersion_;
  std::string clientSign_;
  std::string appKey_ = kAppKey;
  int productId_ = 0;
  std::string productVersion_;
  std::string langTag_ = "zh-cn";
  int strategyType_ = 0;  // 0: no offer
  int64_t strategyId_ = 0;
  std::string tipsTitle_;
  std::string tipsContent_;
};

// The service API's JSON replies as the token request, the reporters and the retention offer
// read them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "http/api_request.h"
#include "service/client_token.h"
#include "service/json_reply.h"
#include "service/retention_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  JsonPtr root = ParseJson(reply);
  const int code = CodeOf(root.get());
  FUZZ_CHECK(ReplyCode(reply) == code || !cJSON_IsObject(root.get()));
  (void)StringMemberOf(root.get(), "msg");
  (void)PrintCompact(MemberOf(root.get(), "data"));
  (void)ReplyForLog(reply);

  const std::string token = TokenFromReply(reply);
  FUZZ_CHECK(token.empty() || code == 0);

  // The reporters keep the upload replies and send their "data" members on, one per upload.
  JsonPtr uploads(UploadDataArray({reply, reply}));
  FUZZ_CHECK(cJSON_GetArraySize(uploads.get()) == 2);
  const std::string sent = PrintCompact(uploads.get());
  FUZZ_CHECK(ParseJson(sent) != nullptr);

  RetentionClient retention;
  if (retention.ReadStrategyReply(reply)) FUZZ_CHECK(code == 0);
  (void)retention.StrategyType();
  return 0;
}

// The platform server's runtime configuration reply and the visitor-id reply of the product
// web service.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "session/server_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  ServerReply out;
  if (ParseServerReply(reply, out)) {
    FUZZ_CHECK(out.hasDownloader || out.bindItems.empty());
    for (const DependentItem& item : out.bindItems) (void)item.IsAcceptable();
  } else {
    FUZZ_CHECK(!out.hasDownloader && out.bindItems.empty());
  }
  const std::u16string visitor = VisitorIdFromReply(reply);
  FUZZ_CHECK(visitor.find(u'"') == std::u16string::npos);
  return 0;
}

// The run's common properties (product, channel, how the run ended, ...): named texts that the
// session publishes as it goes and the track report sends at the end.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace analytics {

class CommonProperties {
 public:
  // Stores the text as UTF-8; a later value replaces an earlier one.
  void Set(const std::string& key, const std::u16string& value);
  void SetText(const std::string& key, const std::string& utf8Value);
  // Stored as decimal text.
  void SetNumber(const std::string& key, int64_t value);
  // The stored text, empty when none.
  std::string Get(const std::string& key) const;
  // Every entry in key order.
  std::map<std::string, std::string> Snapshot() const;

 private:
  // Guarded by ApiBaseLock(): the common properties and the current API base URL share one lock.
  std::map<std::string, std::string> values_;
};

// The process-wide set.
CommonProperties& GetCommonProperties();

// What the product configuration publishes once it is read: "product_id", "client_sign" (the
// brand's client signature), "channel", "defchannel" (the registry's default channel) and
// "scene_code".
void PublishConfigurationProperties(CommonProperties& properties, const std::u16string& productId,
                                    const std::u16string& brand, const std::u16string& channel,
                                    const std::u16string& sceneCode);

}  // namespace analytics

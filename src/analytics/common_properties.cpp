#include "analytics/common_properties.h"

#include <mutex>

#include "http/api_base.h"
#include "platform/registry.h"
#include "xml/utf.h"

namespace analytics {

void CommonProperties::Set(const std::string& key, const std::u16string& value) {
  SetText(key, WideToUtf8(value));
}

void CommonProperties::SetText(const std::string& key, const std::string& utf8Value) {
  std::lock_guard<std::mutex> guard(ApiBaseLock());
  values_[key] = utf8Value;
}

void CommonProperties::SetNumber(const std::string& key, int64_t value) {
  SetText(key, std::to_string(value));
}

std::string CommonProperties::Get(const std::string& key) const {
  std::lock_guard<std::mutex> guard(ApiBaseLock());
  auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

std::map<std::string, std::string> CommonProperties::Snapshot() const {
  std::lock_guard<std::mutex> guard(ApiBaseLock());
  return values_;
}

CommonProperties& GetCommonProperties() {
  // Never destroyed, like the report store that keeps a reference to it: a crash or a late
  // thread may still set a value while the process exits.
  static CommonProperties* properties = new CommonProperties();
  return *properties;
}

void PublishConfigurationProperties(CommonProperties& properties, const std::u16string& productId,
                                    const std::u16string& brand, const std::u16string& channel,
                                    const std::u16string& sceneCode) {
  properties.Set("product_id", productId);
  properties.Set("client_sign", platform::GetOrCreateClientSign(brand));
  properties.Set("channel", channel);
  properties.Set("defchannel", platform::ReadDefaultChannel());
  properties.Set("scene_code", sceneCode);
}

}  // namespace analytics

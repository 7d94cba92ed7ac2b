#include "platform/registry_read.h"

#include "platform/registry.h"

namespace platform::registry_detail {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegType;
using nuv::os::RegValue;
using nuv::os::View;

View Wow64View32() {
  return IsWow64() ? View::Bit32 : View::Default;
}

std::optional<std::u16string> ReadSz(Hive hive, View view, const std::u16string& key,
                                     const std::u16string& name, size_t maxChars) {
  RegValue value;
  if (!RegistryStore().QueryValue(hive, view, key, name, &value)) return std::nullopt;
  if (value.type != RegType::Sz || value.text.size() > maxChars) return std::nullopt;
  return value.text;
}

std::optional<uint32_t> ReadDword(Hive hive, View view, const std::u16string& key,
                                  const std::u16string& name) {
  RegValue value;
  if (!RegistryStore().QueryValue(hive, view, key, name, &value)) return std::nullopt;
  if (value.type != RegType::Dword) return std::nullopt;
  return static_cast<uint32_t>(value.number);
}

bool WriteSz(Hive hive, View view, const std::u16string& key, const std::u16string& name,
             const std::u16string& text) {
  const RegistryStore store;
  return store.CreateKey(hive, view, key) &&
         store.SetValue(hive, view, key, name, RegValue::Sz(text));
}

}  // namespace platform::registry_detail

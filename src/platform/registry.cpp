#include "platform/registry.h"

#include <atomic>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/machine_width.h"
#include "platform/os/registry_store.h"
#include "platform/registry_read.h"
#include "xml/utf.h"

namespace platform {
namespace {

using nuv::os::Hive;
using nuv::os::RegistryStore;
using nuv::os::RegValue;
using nuv::os::View;
using registry_detail::ReadDword;
using registry_detail::ReadSz;
using registry_detail::Wow64View32;
using registry_detail::WriteSz;

constexpr size_t kInstalledValueChars = 255;
constexpr size_t kCompanionNameChars = 260;
constexpr size_t kIeVersionChars = 50;
constexpr size_t kChannelChars = 49;  // 100-byte buffer with its terminator
constexpr size_t kLayerChars = 49;

constexpr char16_t kCompanionKey[] = u"Software\\Veltrin\\Veltrin Motif Hub";
constexpr char16_t kChannelKey[] = u"Software\\NufCX\\";
constexpr char16_t kLayersKey[] =
    u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\";

// -1: ask the kernel; 0 / 1: fixed by a test.
std::atomic<int> wow64Override{-1};

std::vector<std::u16string> SubKeys(Hive hive, View view, const std::u16string& key) {
  std::vector<std::u16string> names;
  if (!RegistryStore().EnumSubKeys(hive, view, key, &names)) names.clear();
  return names;
}

std::u16string Child(const std::u16string& key, const std::u16string& name) {
  return key + u"\\" + name;
}

}  // namespace

bool IsWow64() {
  const int fixed = wow64Override.load();
  if (fixed >= 0) return fixed == 1;
  static const bool is64 = nuv::os::MachineIs64Bit();
  return is64;
}

void OverrideIsWow64ForTest(std::optional<bool> value) {
  wow64Override.store(value ? (*value ? 1 : 0) : -1);
}

bool FindInstalledValue(const std::u16string& brand, const std::u16string& valueName, uint32_t pid,
                        std::u16string& text) {
  text.clear();
  const std::u16string root = u"Software\\" + brand;
  for (const std::u16string& name : SubKeys(Hive::LocalMachine, View::Default, root)) {
    const std::u16string key = Child(root, name);
    const auto id = ReadDword(Hive::LocalMachine, View::Default, key, u"PID");
    if (!id || *id != pid) continue;
    RegValue info;
    if (!RegistryStore().QueryValue(Hive::LocalMachine, View::Default, key, u"InstallInfo",
                                    &info) ||
        info.type != nuv::os::RegType::Sz || info.text.empty()) {
      continue;
    }
    text = ReadSz(Hive::LocalMachine, View::Default, key, valueName, kInstalledValueChars)
               .value_or(u"");
    return true;
  }
  return false;
}

bool GetInstalledVersion(const std::u16string& brand, uint32_t pid, std::u16string& version) {
  return FindInstalledValue(brand, u"Version", pid, version);
}

std::u16string GetInstalledName(const std::u16string& brand, uint32_t pid) {
  std::u16string text;
  FindInstalledValue(brand, u"InstallName", pid, text);
  return text;
}

std::u16string GetInstalledPath(const std::u16string& brand, uint32_t pid) {
  std::u16string text;
  FindInstalledValue(brand, u"InstallPath", pid, text);
  return text;
}

std::u16string GetUninstallVersion(const std::u16string& pidText) {
  static const struct {
    const char16_t* key;
    View view;
  } kLists[] = {
      {u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", View::Bit64},
      {u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", View::Bit32},
  };
  // Uninstall texts are not length-limited by a buffer of ours.
  constexpr size_t kAnyLength = SIZE_MAX;
  for (const auto& list : kLists) {
    for (const std::u16string& name : SubKeys(Hive::LocalMachine, list.view, list.key)) {
      const std::u16string key = Child(list.key, name);
      if (ReadSz(Hive::LocalMachine, list.view, key, u"PID", kAnyLength) != pidText) continue;
      if (auto version = ReadSz(Hive::LocalMachine, list.view, key, u"Version", kAnyLength)) {
        return *version;
      }
    }
  }
  return u"";
}

std::u16string GetCompanionInstallName() {
  std::u16string last;
  for (View view : {View::Bit64, View::Bit32}) {
    const auto name =
        ReadSz(Hive::LocalMachine, view, kCompanionKey, u"InstallName", kCompanionNameChars);
    if (!name) continue;
    last = *name;
    if (nuv::os::PathExists(WideToUtf8(last))) return last;
  }
  return last;
}

bool IsCompanionInstalled() {
  return nuv::os::PathExists(WideToUtf8(GetCompanionInstallName()));
}

std::u16string GetIeVersion() {
  const auto version =
      ReadSz(Hive::LocalMachine, Wow64View32(), u"Software\\Microsoft\\Internet Explorer",
             u"Version", kIeVersionChars);
  return version && !version->empty() ? *version : u"-";
}

void WriteChannelRecord(const std::u16string& productId, const std::u16string& appId,
                        const std::u16string& channel) {
  const View view = Wow64View32();
  const RegistryStore store;
  if (!store.CreateKey(Hive::LocalMachine, view, kChannelKey)) return;
  // Only a missing default is set: the first channel of the machine is kept for good.
  if (!store.QueryValue(Hive::LocalMachine, view, kChannelKey, u"", nullptr)) {
    store.SetValue(Hive::LocalMachine, view, kChannelKey, u"", RegValue::Sz(channel));
  }
  // With neither id there is no product name, and "" would overwrite the machine's first channel.
  const std::u16string& name = appId.empty() ? productId : appId;
  if (!name.empty())
    store.SetValue(Hive::LocalMachine, view, kChannelKey, name, RegValue::Sz(channel));
}

std::u16string ReadDefaultChannel() {
  return ReadSz(Hive::LocalMachine, Wow64View32(), kChannelKey, u"", kChannelChars).value_or(u"");
}

uint32_t ReadUserDword(const std::u16string& subKey, const std::u16string& valueName) {
  return ReadDword(Hive::CurrentUser, View::Default, subKey, valueName).value_or(0);
}

void WriteUserDword(const std::u16string& subKey, const std::u16string& valueName, uint32_t value) {
  RegistryStore().SetValue(Hive::CurrentUser, View::Default, subKey, valueName,
                           RegValue::Dword(value));
}

void SetCompatibilityLayer(const std::u16string& layers, const std::u16string& programPath) {
  const std::u16string kept = layers.substr(0, kLayerChars);
  for (View view : {View::Bit64, View::Bit32}) {
    WriteSz(Hive::LocalMachine, view, kLayersKey, programPath, kept);
  }
}

}  // namespace platform

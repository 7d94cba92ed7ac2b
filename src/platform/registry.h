// Registry records the installer reads and writes: installed products of the maker, uninstall
// lists, the companion application, the machine's client identifier, channel records, per-user
// flags and compatibility layers. No state; every registry error is swallowed, nothing is logged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// "64-bit OS, so read the 64-bit addresses": true on a 64-bit kernel.
bool IsWow64();
// Tests fix the answer; nullopt goes back to asking the kernel.
void OverrideIsWow64ForTest(std::optional<bool> value);

// Looks for a subkey of HKLM Software\<brand> whose "PID" (REG_DWORD) is pid and whose
// "InstallInfo" is a non-empty REG_SZ. When found, text is its valueName (a REG_SZ of at most 255
// characters, else empty) and the answer is true; the search stops at the first such subkey.
bool FindInstalledValue(const std::u16string& brand, const std::u16string& valueName, uint32_t pid,
                        std::u16string& text);
bool GetInstalledVersion(const std::u16string& brand, uint32_t pid, std::u16string& version);
std::u16string GetInstalledName(const std::u16string& brand, uint32_t pid);
std::u16string GetInstalledPath(const std::u16string& brand, uint32_t pid);

// "Version" of the first uninstall entry whose "PID" text equals pidText: the 64-bit list first,
// then the 32-bit one. Empty when none.
std::u16string GetUninstallVersion(const std::u16string& pidText);

// "InstallName" of the companion application, 64-bit view first: the first that names an existing
// file, else the last one read (possibly empty).
std::u16string GetCompanionInstallName();
bool IsCompanionInstalled();

// HKLM Internet Explorer "Version", or "-".
std::u16string GetIeVersion();

// The stored client identifier: per-user copy, then the machine's two copies; empty when none.
std::u16string ReadClientSign(const std::u16string& brand);
// The stored identifier, or a new one ("{" + version 4 UUID + "G}", 39 characters) written to the
// machine's copies. Never empty.
std::u16string GetOrCreateClientSign(const std::u16string& brand);

// Records channel under the application id (the product id when appId is empty) in HKLM
// Software\NufCX; the first channel ever written also becomes the key's default value.
void WriteChannelRecord(const std::u16string& productId, const std::u16string& appId,
                        const std::u16string& channel);
std::u16string ReadDefaultChannel();

// A REG_DWORD under HKCU subKey: 0 when missing. Writing does not create the key.
uint32_t ReadUserDword(const std::u16string& subKey, const std::u16string& valueName);
void WriteUserDword(const std::u16string& subKey, const std::u16string& valueName, uint32_t value);

// Sets the compatibility layers (at most 49 characters kept) for programPath in both views.
void SetCompatibilityLayer(const std::u16string& layers, const std::u16string& programPath);

}  // namespace platform

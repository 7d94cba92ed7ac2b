// "Is the program elevated": effective uid 0.
#pragma once

#include <optional>

namespace nuv::os {

// Set to "1" to make IsAdministrator() answer false even as root (start-up tests).
inline constexpr const char* kFakeNonAdminEnv = "NUV_FAKE_NON_ADMIN";

bool IsAdministrator();
// In-process override for tests, winning over the environment; std::nullopt restores the real
// answer.
void SetAdministratorOverride(std::optional<bool> isAdmin);

}  // namespace nuv::os

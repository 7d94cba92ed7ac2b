#include "platform/os/admin.h"

#include <unistd.h>

#include <atomic>

#include "platform/os/folders.h"

namespace nuv::os {

namespace {
// -1 none, 0 not admin, 1 admin
std::atomic<int> g_override{-1};
}  // namespace

bool IsAdministrator() {
  int forced = g_override.load();
  if (forced >= 0) return forced == 1;
  if (GetEnvOr(kFakeNonAdminEnv) == "1") return false;
  return geteuid() == 0;
}

void SetAdministratorOverride(std::optional<bool> isAdmin) {
  g_override.store(isAdmin ? (*isAdmin ? 1 : 0) : -1);
}

}  // namespace nuv::os

#include "http/api_base.h"

#include <optional>

#include "platform/endpoints.h"

namespace {

struct ApiBaseState {
  std::mutex lock;
  std::string current;
  std::optional<ApiHosts> hosts;  // unset: read from the endpoint table on first use
};

ApiBaseState& State() {
  // Never destroyed: its lock is also the common properties' lock, which late threads may take
  // while the process exits.
  static ApiBaseState* state = new ApiBaseState();
  return *state;
}

}  // namespace

std::mutex& ApiBaseLock() {
  return State().lock;
}

std::string CurrentApiBase() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().current;
}

void SetCurrentApiBase(const std::string& baseUrl) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().current = baseUrl;
}

std::string& CurrentApiBaseLocked() {
  return State().current;
}

ApiHosts GetApiHosts() {
  std::lock_guard<std::mutex> guard(State().lock);
  if (!State().hosts) {
    const Endpoints& e = GetEndpoints();
    State().hosts = ApiHosts{e.apiPrimaryBase, e.apiFallbackBase};
  }
  return *State().hosts;
}

void SetApiHosts(const ApiHosts& hosts) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().hosts = hosts;
}

// Linked into every test program: unless the caller chose an overlay, the endpoint table points at
// a closed loopback port, so a test binary run by hand never reaches past this machine either.
#include <cstdlib>

namespace {
struct LoopbackEndpointsByDefault {
  LoopbackEndpointsByDefault() {
    setenv("NUV_RESOURCE_DIR", NUV_SOURCE_DIR "/tests/fixtures/loopback", /*overwrite=*/0);
  }
} loopbackEndpointsByDefault;
}  // namespace

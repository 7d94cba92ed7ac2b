// The texts installers send to the window (WM_COPYDATA, a NUL-terminated UTF-16 text) as the
// track report takes them: whatever a local process sends, the report stays valid JSON.
#include <cjson/cJSON.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "analytics/common_properties.h"
#include "analytics/report_data_store.h"
#include "analytics/track_report.h"
#include "fuzz_support.h"
#include "xml/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static analytics::CommonProperties values;
  ReportDataStore store("http://127.0.0.1/", values);
  // Several texts in one input, cut at NUL units, like several messages of one installer.
  const std::u16string payload = fuzz::Units(data, size);
  size_t start = 0;
  for (int count = 0; count < 8 && start <= payload.size(); ++count) {
    const std::string bytes(reinterpret_cast<const char*>(data) + 2 * start, size - 2 * start);
    const std::u16string text = Utf16LeBytesToWide(bytes);
    store.AddInstallerMessage(text);
    start += text.size() + 1;
  }
  const TrackSnapshot snapshot = store.Snapshot();
  const std::string document = BuildTrackDocument(snapshot, TrackEnvironment{});
  cJSON* parsed = cJSON_ParseWithLength(document.data(), document.size());
  FUZZ_CHECK(parsed != nullptr);
  cJSON_Delete(parsed);
  return 0;
}

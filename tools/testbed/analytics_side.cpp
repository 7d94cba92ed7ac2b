#include "testbed/analytics_side.h"

#include <cjson/cJSON.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <zlib.h>

namespace testbed {

AnalyticsSide::AnalyticsSide(std::string path) : path_(std::move(path)) {}

void AnalyticsSide::SetStatus(const std::string& localAddress, int status) {
  std::lock_guard<std::mutex> guard(lock_);
  statuses_[localAddress] = status;
}

void AnalyticsSide::SetOnBatch(std::function<void(const AnalyticsBatch&)> hook) {
  std::lock_guard<std::mutex> guard(lock_);
  hook_ = std::move(hook);
}

std::vector<AnalyticsBatch> AnalyticsSide::Batches() const {
  std::lock_guard<std::mutex> guard(lock_);
  return batches_;
}

std::vector<std::string> AnalyticsSide::Records() const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> records;
  for (const AnalyticsBatch& b : batches_)
    if (b.status == 200) records.insert(records.end(), b.records.begin(), b.records.end());
  return records;
}

bool AnalyticsSide::WaitForBatches(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return batches_.size() >= count; });
}

bool AnalyticsSide::WaitForRecords(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] {
    size_t n = 0;
    for (const AnalyticsBatch& b : batches_)
      if (b.status == 200) n += b.records.size();
    return n >= count;
  });
}

void AnalyticsSide::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  batches_.clear();
}

std::string AnalyticsSide::PercentDecode(const std::string& text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else if (text[i] == '+') {
      out += ' ';
    } else {
      out += text[i];
    }
  }
  return out;
}

bool AnalyticsSide::Base64Decode(const std::string& text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  for (char c : text)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=')) return false;
  bytes.assign(text.size() / 4 * 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return false;
  size_t padding = 0;
  if (!text.empty() && text.back() == '=') ++padding;
  if (text.size() > 1 && text[text.size() - 2] == '=') ++padding;
  bytes.resize(static_cast<size_t>(n) - padding);
  return true;
}

bool AnalyticsSide::Gunzip(const std::string& compressed, std::string& out) {
  z_stream stream{};
  if (inflateInit2(&stream, 31) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  out.clear();
  char buffer[16384];
  int rc;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (out.size() > (64u << 20)) break;  // a batch is small; refuse a bomb
  } while (rc != Z_STREAM_END);
  const bool whole = rc == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  return whole;
}

bool AnalyticsSide::SplitJsonArray(const std::string& json, std::vector<std::string>& elements) {
  cJSON* parsed = cJSON_ParseWithLength(json.data(), json.size());
  const bool isArray = parsed && cJSON_IsArray(parsed);
  cJSON_Delete(parsed);
  if (!isArray) return false;
  // The parse proved it well formed; cut the elements at the top-level commas.
  elements.clear();
  const size_t open = json.find('[');
  const size_t close = json.rfind(']');
  int depth = 0;
  bool inString = false, escaped = false;
  size_t start = open + 1;
  for (size_t i = open + 1; i < close; ++i) {
    const char c = json[i];
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"')
      inString = true;
    else if (c == '{' || c == '[')
      ++depth;
    else if (c == '}' || c == ']')
      --depth;
    else if (c == ',' && depth == 0) {
      elements.push_back(json.substr(start, i - start));
      start = i + 1;
    }
  }
  if (close > start) elements.push_back(json.substr(start, close - start));
  return true;
}

bool AnalyticsSide::DecodeBody(const std::string& body, AnalyticsBatch& batch) {
  std::string dataList;
  bool haveData = false;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t end = body.find('&', pos);
    if (end == std::string::npos) end = body.size();
    const std::string field = body.substr(pos, end - pos);
    const size_t eq = field.find('=');
    const std::string name = field.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : field.substr(eq + 1);
    if (name == "data_list") {
      dataList = PercentDecode(value);
      haveData = true;
    } else if (name == "gzip") {
      batch.gzipFlag = PercentDecode(value);
    }
    pos = end + 1;
  }
  if (!haveData) {
    batch.error = "no data_list";
    return false;
  }
  std::string compressed;
  if (!Base64Decode(dataList, compressed)) {
    batch.error = "not Base64";
    return false;
  }
  if (!Gunzip(compressed, batch.json)) {
    batch.error = "not a gzip stream";
    return false;
  }
  if (!SplitJsonArray(batch.json, batch.records)) {
    batch.error = "not a JSON array";
    return false;
  }
  return true;
}

bool AnalyticsSide::Handle(const httplib::Request& req, httplib::Response& res,
                           const ServeContext& ctx) {
  if (req.path != path_) return false;
  AnalyticsBatch batch;
  batch.localAddress = ctx.localAddress;
  batch.path = req.path;
  batch.project = req.get_param_value("project");
  batch.body = req.body;
  if (req.method == "POST")
    batch.decoded = DecodeBody(req.body, batch);
  else
    batch.error = "not a POST";

  std::function<void(const AnalyticsBatch&)> hook;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = statuses_.find(ctx.localAddress);
    if (it == statuses_.end()) it = statuses_.find("");
    batch.status = it == statuses_.end() ? 200 : it->second;
    if (!batch.decoded && batch.status == 200) batch.status = 400;
    hook = hook_;
  }
  if (hook) hook(batch);
  res.status = batch.status;
  res.set_content(batch.status == 200 ? "{\"code\":0}" : "{\"code\":1}", "application/json");
  {
    std::lock_guard<std::mutex> guard(lock_);
    batches_.push_back(std::move(batch));
  }
  changed_.notify_all();
  return true;
}

}  // namespace testbed

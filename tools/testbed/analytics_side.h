// The analytics collector: form posts of gzip + Base64 + percent-encoded record batches. Each
// batch is decoded and its records kept as the exact JSON texts that arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "testbed/side.h"

namespace testbed {

struct AnalyticsBatch {
  std::string localAddress;
  std::string path;
  std::string project;   // the "project" query parameter
  std::string body;      // the form body as it arrived
  std::string gzipFlag;  // the "gzip" form field
  bool decoded = false;
  std::string error;                 // why decoding failed
  std::string json;                  // the decompressed array text
  std::vector<std::string> records;  // the array's elements, byte for byte
  int status = 200;                  // what the collector answered
};

class AnalyticsSide : public Side {
 public:
  explicit AnalyticsSide(std::string path = "/sa");

  // The status answered on one local address ("" for every address); 200 by default.
  void SetStatus(const std::string& localAddress, int status);
  // Called with every batch before it is answered (on the server's thread).
  void SetOnBatch(std::function<void(const AnalyticsBatch&)> hook);

  std::vector<AnalyticsBatch> Batches() const;
  // The records of the batches answered 200, in arrival order.
  std::vector<std::string> Records() const;
  bool WaitForBatches(size_t count, std::chrono::milliseconds timeout) const;
  bool WaitForRecords(size_t count, std::chrono::milliseconds timeout) const;
  void Clear();

  // "data_list=...&gzip=1" -> the JSON array text and its elements; false with a reason.
  static bool DecodeBody(const std::string& body, AnalyticsBatch& batch);
  // The raw texts of a JSON array's elements; false when the text is not one well-formed array.
  static bool SplitJsonArray(const std::string& json, std::vector<std::string>& elements);
  static std::string PercentDecode(const std::string& text);
  static bool Base64Decode(const std::string& text, std::string& bytes);
  static bool Gunzip(const std::string& compressed, std::string& out);

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  const std::string path_;
  mutable std::mutex lock_;  // guards everything below
  mutable std::condition_variable changed_;
  std::map<std::string, int> statuses_;
  std::function<void(const AnalyticsBatch&)> hook_;
  std::vector<AnalyticsBatch> batches_;
};

}  // namespace testbed

// The form body of one batch: gzip (level 9) + Base64 + percent-encoding.
#pragma once

#include <string>
#include <vector>

namespace analytics_sdk {

// A gzip stream of data; false (with a message on the error stream) when zlib fails.
bool GzipCompress(const std::string& data, std::string& out);
// Standard alphabet with '=' padding, no line breaks.
std::string Base64Encode(const std::string& bytes);
// Letters, digits and "-._~" stay; every other byte becomes "%XX" (upper-case hex).
std::string PercentEncode(const std::string& text);
// "[" + records joined by "," + "]".
std::string JoinRecords(const std::vector<std::string>& records);
// "data_list=" + encoded batch + "&gzip=1"; false when compression failed.
bool BuildBatchBody(const std::vector<std::string>& records, std::string& body);

}  // namespace analytics_sdk

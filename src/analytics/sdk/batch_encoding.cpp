#include "analytics/sdk/batch_encoding.h"

#include <openssl/evp.h>
#include <zlib.h>

#include "analytics/sdk/validation.h"

namespace analytics_sdk {

bool GzipCompress(const std::string& data, std::string& out) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    WriteError("deflateInit2 failed while compressing.\n");
    return false;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  out.clear();
  constexpr size_t kStep = 32 * 1024;
  char buffer[kStep];
  int rc;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = kStep;
    rc = deflate(&stream, Z_FINISH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      WriteError("Exception during zlib compression: (" + std::to_string(rc) + ") " +
                 (stream.msg ? stream.msg : "") + "\n");
      deflateEnd(&stream);
      return false;
    }
    out.append(buffer, kStep - stream.avail_out);
  } while (rc != Z_STREAM_END);
  deflateEnd(&stream);
  return true;
}

std::string Base64Encode(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string JoinRecords(const std::vector<std::string>& records) {
  std::string data = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    if (i) data += ',';
    data += records[i];
  }
  data += ']';
  return data;
}

bool BuildBatchBody(const std::vector<std::string>& records, std::string& body) {
  std::string compressed;
  if (!GzipCompress(JoinRecords(records), compressed)) return false;
  body = "data_list=" + PercentEncode(Base64Encode(compressed)) + "&gzip=1";
  return true;
}

}  // namespace analytics_sdk

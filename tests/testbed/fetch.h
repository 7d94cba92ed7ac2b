// A small libcurl client for the testbed's own tests.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <string>
#include <vector>

struct FetchOptions {
  bool head = false;
  std::string range;  // "0-99" etc.; empty for none
  std::string post;   // sent as a POST body when not empty
  std::vector<std::string> headers;
  std::string caBundle;  // verify against this CA (https)
  bool follow = false;
  long timeoutSeconds = 30;
  std::atomic<long long>* received = nullptr;  // counts body bytes as they arrive

  FetchOptions& Head() {
    head = true;
    return *this;
  }
  FetchOptions& Range(std::string r) {
    range = std::move(r);
    return *this;
  }
  FetchOptions& Post(std::string b) {
    post = std::move(b);
    return *this;
  }
  FetchOptions& AddHeader(std::string h) {
    headers.push_back(std::move(h));
    return *this;
  }
  FetchOptions& Ca(std::string path) {
    caBundle = std::move(path);
    return *this;
  }
  FetchOptions& Follow() {
    follow = true;
    return *this;
  }
  FetchOptions& Timeout(long seconds) {
    timeoutSeconds = seconds;
    return *this;
  }
  FetchOptions& Count(std::atomic<long long>* counter) {
    received = counter;
    return *this;
  }
};

struct FetchResult {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string body;
  std::string headers;  // the raw header block(s)
  std::string effectiveUrl;

  // Value of the last header with this name (case-insensitive), "" when absent.
  std::string Header(const std::string& name) const;
};

FetchResult Fetch(const std::string& url, const FetchOptions& options = {});

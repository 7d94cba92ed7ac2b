// The three-step send shared by the error-log and support-ticket reporters: a token, an upload per
// existing log file, then one report that refers to the uploads.
#pragma once

#include <string>
#include <vector>

class CBaseReporter {
 public:
  // Reads the client sign (brand "Veltrin") and the program's file version.
  CBaseReporter();
  virtual ~CBaseReporter() = default;
  CBaseReporter(const CBaseReporter&) = delete;
  CBaseReporter& operator=(const CBaseReporter&) = delete;

  // Uploads the program's own log, extraLogPath and its ".SubPackN.log" siblings (those that
  // exist) and submits the report. False when no token could be had, nothing was uploaded or the
  // report was refused.
  bool SendReport(const std::u16string& extraLogPath);

  void SetTicketProductId(const std::string& id) { ticketProductId_ = id; }
  void SetProductVersion(const std::string& version) { productVersion_ = version; }
  const std::string& ClientSign() const { return clientSign_; }

  // The files a send tries, in order (only the existing ones are uploaded). An empty extra path
  // adds nothing: its sibling names would otherwise be relative to the working folder.
  static std::vector<std::string> CandidateFiles(const std::u16string& extraLogPath);

 protected:
  virtual bool Prepare() = 0;
  virtual bool UploadFile(const std::u16string& path) = 0;
  virtual bool SubmitReport(const std::vector<std::u16string>& paths, const std::string& kind) = 0;

  // Uploads the file with the token (and, when asked, the client identification headers).
  std::string ApiFormUpload(const std::string& path, const std::string& filePath,
                            bool clientHeaders) const;
  // "Authorization: Bearer <token>", "Content-Type: application/json".
  std::vector<std::string> JsonHeaders() const;

  bool prepared_ = false;
  std::string productId_;
  std::string clientSign_;
  std::string ticketProductId_;
  std::string productVersion_;
  std::string token_;
};

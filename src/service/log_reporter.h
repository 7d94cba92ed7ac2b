// Error-log reports: the log files go to the upload endpoint, then one report that lists them.
#pragma once

#include <string>
#include <vector>

#include "service/base_reporter.h"

class CLogReporter : public CBaseReporter {
 public:
  void SetRemark(const std::string& remark) { remark_ = remark; }
  const std::vector<std::string>& UploadReplies() const { return uploadReplies_; }

 protected:
  bool Prepare() override { return true; }
  bool UploadFile(const std::u16string& path) override;
  bool SubmitReport(const std::vector<std::u16string>& paths, const std::string& kind) override;

 private:
  std::vector<std::string> uploadReplies_;  // whole replies of the successful uploads
  std::string remark_;
};

// What the session controller knows when a download or installation fails.
struct ErrorReportContext {
  std::string productId;            // of the product configuration; may be empty
  std::string productVersion;       // from the server runtime configuration; may be empty
  std::u16string installerLogPath;  // the product installer's log file
};

// Sends one error-log report: the configuration's product id (when known) as the ticket product
// id, the server's product version (when known) as X-Prod-Ver, the installer log and its siblings
// only when includeInstallerLog. Returns whether the report was accepted.
bool AutoReportErrorLog(const ErrorReportContext& context, bool includeInstallerLog,
                        const std::string& remark);

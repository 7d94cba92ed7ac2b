// Support tickets from the failure page: the log files go to the ticket attachment endpoint, then
// one ticket with the user's description and contact.
#pragma once

#include <string>
#include <vector>

#include "service/base_reporter.h"

inline constexpr long long kTicketFormId = 10310875932697LL;

class CSupportReporter : public CBaseReporter {
 public:
  // Stores the texts as UTF-8; always true.
  bool SetTicketText(const std::u16string& title, const std::u16string& contents,
                     const std::u16string& contact);

 protected:
  bool Prepare() override { return true; }
  bool UploadFile(const std::u16string& path) override;
  bool SubmitReport(const std::vector<std::u16string>& paths, const std::string& kind) override;

 private:
  std::string title_;
  std::string contents_;
  std::string contact_;
  std::vector<std::string> uploadReplies_;  // whole replies of the successful uploads
};

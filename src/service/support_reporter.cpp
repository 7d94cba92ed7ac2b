#include "service/support_reporter.h"

#include "http/api_request.h"
#include "service/json_reply.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr const char* kTicketUploadPath = "/v1/crm/ticket/file/upload";
constexpr const char* kTicketPath = "/v1/support/tickets";

}  // namespace

bool CSupportReporter::SetTicketText(const std::u16string& title, const std::u16string& contents,
                                     const std::u16string& contact) {
  title_ = WideToUtf8(title);
  contents_ = WideToUtf8(contents);
  contact_ = WideToUtf8(contact);
  NUV_LOG(3, "[INFO] contact: %s", contact_.c_str());
  NUV_LOG(3, "[INFO] content: %s", contents_.c_str());
  return true;
}

bool CSupportReporter::UploadFile(const std::u16string& path) {
  const std::string reply = ApiFormUpload(kTicketUploadPath, WideToUtf8(path), false);
  if (ReplyCode(reply) != 0) return false;
  uploadReplies_.push_back(reply);
  return true;
}

bool CSupportReporter::SubmitReport(const std::vector<std::u16string>& paths,
                                    const std::string& /*kind*/) {
  if (paths.empty()) return false;
  NUV_LOG(3, "[INFO] report support.");

  const char* contactType = contact_.find('@') != std::string::npos ? "email" : "mobile";
  JsonPtr ticket(cJSON_CreateObject());
  cJSON_AddStringToObject(ticket.get(), "title", title_.c_str());
  cJSON_AddStringToObject(ticket.get(), "contents", contents_.c_str());
  cJSON_AddStringToObject(ticket.get(), "contact_type", contactType);
  cJSON_AddStringToObject(ticket.get(), contactType, contact_.c_str());
  cJSON_AddNumberToObject(ticket.get(), "product_id", DecimalNumber(ticketProductId_));
  cJSON_AddStringToObject(ticket.get(), "product_version", productVersion_.c_str());
  cJSON_AddNumberToObject(ticket.get(), "ticket_form_id", static_cast<double>(kTicketFormId));
  cJSON_AddItemToObject(ticket.get(), "attachment", UploadDataArray(uploadReplies_));

  const int code = ReplyCode(ApiRequest(kTicketPath, JsonHeaders(), PrintCompact(ticket.get())));
  if (code != 0) NUV_LOG(1, "[ERROR] report support failed! code=[%d].", code);
  return code == 0;
}

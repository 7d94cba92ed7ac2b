#include "service/support_reporter.h"

#include "service_env.h"

namespace {

class SupportReporterTest : public ServiceTest {
 protected:
  bool Send(const std::u16string& contact, const std::u16string& extra = u"") {
    CSupportReporter reporter;
    reporter.SetTicketProductId("10819");
    reporter.SetProductVersion("2.5.1");
    reporter.SetTicketText(u"NUV Install Failed", u"download error_code=[ 3 ];\r\n\r\n说明\r\n\r\n",
                           contact);
    return reporter.SendReport(extra);
  }
};

struct ContactCase {
  const char16_t* contact;
  const char* members;  // the contact members of the ticket body
};

class TicketContactTest : public SupportReporterTest,
                          public ::testing::WithParamInterface<ContactCase> {};

TEST_P(TicketContactTest, TicketCarriesTheTextsAndTheAttachments) {
  WriteFile(OwnLogPath(), "own log\n");
  const std::string installer = dir_.Path() + "setup.log";
  WriteFile(installer, "installer\n");
  ASSERT_TRUE(Send(GetParam().contact, Utf8ToWide(installer)));

  auto uploads = Requests(ServiceApiSide::kTicketUploadPath);
  ASSERT_EQ(uploads.size(), 2u);
  for (const auto& u : uploads)
    EXPECT_EQ(OwnHeaders(u), (std::vector<std::string>{"Authorization: Bearer tb-token-1",
                                                       "Content-Type: multipart/form-data"}));
  ASSERT_EQ(api_->Uploads().size(), 2u);
  EXPECT_EQ(api_->Uploads()[1].content, "installer\n");

  auto ticket = Requests(ServiceApiSide::kTicketPath);
  ASSERT_EQ(ticket.size(), 1u);
  EXPECT_EQ(OwnHeaders(ticket[0]), (std::vector<std::string>{"Authorization: Bearer tb-token-1",
                                                             "Content-Type: application/json"}));
  EXPECT_EQ(ticket[0].body,
            std::string("{\"title\":\"NUV Install Failed\",\"contents\":\"download error_code=[ 3 "
                        "];\\r\\n\\r\\n说明\\r\\n\\r\\n\",") +
                GetParam().members +
                ",\"product_id\":10819,\"product_version\":\"2.5.1\","
                "\"ticket_form_id\":10310875932697,"
                "\"attachment\":[{\"file_id\":\"f1\",\"name\":\"vtNUV.log\"},"
                "{\"file_id\":\"f2\",\"name\":\"setup.log\"}]}");
  EXPECT_TRUE(Logged("[INFO] report support."));
  EXPECT_TRUE(Logged("[INFO] content: download error_code=[ 3 ];"));
}

const ContactCase kContacts[] = {
    {u"user@example.cn", "\"contact_type\":\"email\",\"email\":\"user@example.cn\""},
    {u"13800138000", "\"contact_type\":\"mobile\",\"mobile\":\"13800138000\""},
    {u"a\"b@c", "\"contact_type\":\"email\",\"email\":\"a\\\"b@c\""},
};
INSTANTIATE_TEST_SUITE_P(Contacts, TicketContactTest, ::testing::ValuesIn(kContacts));

TEST_F(SupportReporterTest, OnlyTheOwnLogWithoutAnInstallerLog) {
  WriteFile(OwnLogPath(), "own log\n");
  ASSERT_TRUE(Send(u"13800138000"));
  EXPECT_EQ(api_->Uploads().size(), 1u);
}

TEST_F(SupportReporterTest, NoTicketWhenEveryUploadFails) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kTicketUploadPath, 500);
  EXPECT_FALSE(Send(u"13800138000"));
  EXPECT_EQ(Requests(ServiceApiSide::kTicketPath).size(), 0u);
}

TEST_F(SupportReporterTest, RefusedTicketFails) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kTicketPath, 42);
  EXPECT_FALSE(Send(u"13800138000"));
  EXPECT_EQ(Requests(ServiceApiSide::kTicketPath).size(), 2u);
  EXPECT_TRUE(Logged("[ERROR] report support failed! code=[42]."));
}

TEST_F(SupportReporterTest, NoServiceFailsBeforeAnyUpload) {
  WriteFile(OwnLogPath(), "own log\n");
  server_.Stop();
  EXPECT_FALSE(Send(u"13800138000"));
  EXPECT_TRUE(Logged("[ERROR] send file failed! not init."));
}

}  // namespace

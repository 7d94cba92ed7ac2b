#include "platform/endpoints.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(Endpoints, StoredCredentialsDecodeAndMalformedOnesGiveNothing) {
  struct Case {
    const char* stored;
    const char* decoded;
  } cases[] = {
      {"MTg2~nV~NDIw", "186420"},
      {"dnQt~nV~bnV2LWFrLTdmM2M=", "vt-nuv-ak-7f3c"},
      {"OWQ0~nV~MWMyN2JlMDVhNGY2ZThhM2Q=", "9d41c27be05a4f6e8a3d"},
      {"MTg2NDIw", ""},         // no filler
      {"MT~nV~g2NDIw", ""},     // filler at the wrong place
      {"MTg2~nV~NDI", ""},      // not a whole Base64 text
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeStoredCredential(c.stored), c.decoded) << c.stored;
}

TEST(Endpoints, TheShippedTableAndItsTestOverlayAreComplete) {
  // Every test runs with the loopback overlay: nothing may point off this machine.
  const Endpoints& e = GetEndpoints();
  for (const std::string* url : {&e.platformBaseUrl, &e.licenseUrl, &e.apiPrimaryBase, &e.apiFallbackBase,
                                 &e.httpDnsPrimary, &e.httpDnsSecondary, &e.productWebBase})
    EXPECT_EQ(url->rfind("http://127.0.0.1:", 0), 0u) << *url;
  EXPECT_EQ(e.analyticsPrimaryHost, "127.0.0.1");

  Endpoints shipped;
  ASSERT_TRUE(ParseEndpoints(ReadWholeFile(std::string(NUV_SOURCE_DIR) + "/resources/endpoints.xml"), shipped));
  EXPECT_EQ(shipped.platformBaseUrl.back(), '/');
  EXPECT_NE(shipped.apiPrimaryBase.back(), '/');
  for (const std::string* v : {&shipped.httpDnsUidStored, &shipped.httpDnsAkStored, &shipped.httpDnsSecretStored})
    EXPECT_FALSE(DecodeStoredCredential(*v).empty()) << *v;
}

TEST(Endpoints, ADocumentThatIsNotAnEndpointTableIsRefused) {
  Endpoints e;
  EXPECT_FALSE(ParseEndpoints("", e));
  EXPECT_FALSE(ParseEndpoints("<Other/>", e));
  EXPECT_FALSE(ParseEndpoints("<Endpoints><ApiPrimaryBase>x</Endpoints>", e));
}

}  // namespace

// The common properties the product configuration publishes when it is loaded.
#include <gtest/gtest.h>

#include "analytics/common_properties.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "xml/utf.h"

class ConfigurationPropertiesTest : public SessionEnvTest {};

TEST_F(ConfigurationPropertiesTest, LoadLocalXmlPublishesTheProductValues) {
  // An earlier run recorded another channel first: that one stays the default.
  platform::WriteChannelRecord(u"1", u"", u"first-channel");
  UseProductXml(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Product><ProductBrand>NuvBrand</ProductBrand>"
      "<ProductID>4321</ProductID><AppID>app-9</AppID><Channel>ch-\xE4\xB8\xAD</Channel>"
      "<SceneCode>scene-1</SceneCode></Product>\n");
  NuvMgr mgr;
  ASSERT_TRUE(mgr.LoadLocalXml());

  const std::map<std::string, std::string> values = analytics::GetCommonProperties().Snapshot();
  EXPECT_EQ(values.at("product_id"), "4321");
  EXPECT_EQ(values.at("channel"), "ch-\xE4\xB8\xAD");
  EXPECT_EQ(values.at("defchannel"), "first-channel");
  EXPECT_EQ(values.at("scene_code"), "scene-1");
  const std::string sign = values.at("client_sign");
  EXPECT_EQ(sign.size(), 39u);
  EXPECT_EQ(sign, WideToUtf8(platform::ReadClientSign(u"NuvBrand")));
}

TEST(CommonProperties, LaterValuesReplaceEarlierOnes) {
  analytics::CommonProperties properties;
  properties.SetNumber("closetype", 3);
  properties.SetNumber("closetype", 5);
  properties.Set("selectlang", u"zh-CN");
  properties.SetNumber("downstart", -1);
  EXPECT_EQ(properties.Get("closetype"), "5");
  EXPECT_EQ(properties.Get("missing"), "");
  EXPECT_EQ(properties.Snapshot(),
            (std::map<std::string, std::string>{
                {"closetype", "5"}, {"downstart", "-1"}, {"selectlang", "zh-CN"}}));
}

// Values, checks and records of the analytics record layer, down to the bytes and the messages on
// the error stream.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "analytics/sdk/object_node.h"
#include "analytics/sdk/record.h"
#include "analytics/sdk/validation.h"
#include "stderr_capture.h"

using analytics_sdk::PropertiesNode;
using analytics_sdk::utils::DateTime;
using analytics_sdk::utils::ObjectNode;

namespace {

using trackertest::StderrOf;

// Local time is part of the date-time form; pin it for these tests.
class UtcZone {
 public:
  UtcZone() {
    if (const char* tz = getenv("TZ")) old_ = tz, had_ = true;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  ~UtcZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(RecordFormat, ObjectsAreCompactSortedAndEscapeOnlyTheSevenCharacters) {
  UtcZone utc;
  ObjectNode inner;
  inner.SetInteger("n", -42);
  ObjectNode node;
  // The slash and UTF-8 stay as they are. Backspace and form feed can't be in a checked string
  // value, only in a list.
  ASSERT_TRUE(node.SetString("z", "q\" b\\ \t\n\r / \xE4\xB8\xAD"));
  node.SetBool("a", true);
  node.SetBool("B", false);
  node.SetInteger("_i", INT64_MIN);
  node.SetDateTime("d", DateTime{1700000000, 7});
  node.SetList("l", {"x", "y\b\f"});
  node.SetObject("o", inner);
  node.SetNumber("f", 0.5);
  EXPECT_EQ(
      node.ToJson(),
      "{\"B\":false,\"_i\":-9223372036854775808,\"a\":true,"
      "\"d\":\"2023-11-14 22:13:20.007\",\"f\":0.5,\"l\":[\"x\",\"y\\b\\f\"],\"o\":{\"n\":-42},"
      "\"z\":\"q\\\" b\\\\ \\t\\n\\r / \xE4\xB8\xAD\"}");
}

TEST(RecordFormat, MergeLetsTheLaterValueWin) {
  ObjectNode base;
  base.SetString("a", "old");
  base.SetInteger("b", 1);
  ObjectNode over;
  over.SetInteger("a", 2);
  base.Merge(over);
  EXPECT_EQ(base.ToJson(), "{\"a\":2,\"b\":1}");
}

TEST(RecordFormat, StringValuesMustBeShortStrictUtf8) {
  struct Case {
    std::string value;
    bool accepted;
  } cases[] = {
      {"tab\tlf\ncr\r ~", true},
      {"\xE4\xB8\xAD\xE6\x96\x87 \xC3\xA9 \xF0\x9F\x98\x80", true},  // 2-, 3- and 4-byte forms
      {std::string(8192, 'a'), true},
      {"\x01", false},  // control characters other than tab, LF, CR
      {"\x7F", false},
      {std::string("a\0b", 3), false},
      {"\xC0\x80", false},          // overlong NUL
      {"\xE0\x80\xAF", false},      // overlong '/'
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE4\xB8", false},          // cut short
      {"\xB7\xC9", false},          // double-byte code page text
      {"\x80", false},
  };
  for (const Case& c : cases) {
    ObjectNode node;
    std::string err = StderrOf([&] { EXPECT_EQ(node.SetString("k", c.value), c.accepted); });
    EXPECT_EQ(node.Find("k") != nullptr, c.accepted) << c.value;
    if (c.accepted)
      EXPECT_EQ(err, "");
    else
      EXPECT_EQ(err, "String property 'k' is not valid UTF-8 string, value: " + c.value + "\n");
  }
  ObjectNode node;
  const std::string tooLong(8193, 'a');
  EXPECT_EQ(StderrOf([&] { node.SetString("k", tooLong); }),
            "String property 'k' is too long, value: " + tooLong + "\n");
  EXPECT_TRUE(node.Empty());
}

TEST(RecordFormat, NameAndIdMessages) {
  struct Case {
    std::string name;
    std::string message;  // empty: accepted
  } names[] = {
      {"a", ""},
      {"$time_0", ""},
      {"_x9", ""},
      {std::string(100, 'n'), ""},
      {"", "The Property Key is empty or too long, max length is 100\n"},
      {std::string(101, 'n'), "The Property Key is empty or too long, max length is 100\n"},
      {"1abc", "The Property Key need to be a valid variable name."},
      {"a-b", "The Property Key need to be a valid variable name."},
      {"a b", "The Property Key need to be a valid variable name."},
      {"\xC3\xA9", "The Property Key need to be a valid variable name."},
  };
  for (const Case& c : names) {
    bool ok = false;
    EXPECT_EQ(StderrOf([&] { ok = analytics_sdk::CheckName(c.name, "Property Key"); }), c.message)
        << c.name;
    EXPECT_EQ(ok, c.message.empty()) << c.name;
  }
  EXPECT_EQ(StderrOf([] { EXPECT_FALSE(analytics_sdk::CheckDistinctId("")); }),
            "The Distinct ID is empty.\n");
  EXPECT_EQ(StderrOf([] { EXPECT_FALSE(analytics_sdk::CheckDistinctId(std::string(256, 'i'))); }),
            "The Distinct ID is too long, max length is 255.\n");
  EXPECT_EQ(StderrOf([] { EXPECT_TRUE(analytics_sdk::CheckDistinctId(std::string(255, 'i'))); }),
            "");
}

class RecordBuild : public ::testing::Test {
 protected:
  RecordBuild() {
    supers_.SetString("$lib", "cpp");
    supers_.SetString("$lib_version", "0.8");
    supers_.SetString("tid", "UA-Nuv-Web");
    supers_.SetString("button", "super");
  }
  bool Build(const std::string& event, const ObjectNode& props, std::string& record,
             std::string& err) {
    bool ok = false;
    err = StderrOf([&] {
      ok = analytics_sdk::BuildRecord(event, props, supers_, "{ID}", 1234567890123, record);
    });
    return ok;
  }
  ObjectNode supers_;
};

TEST_F(RecordBuild, RecordMembersInOrderWithSuperPropertiesOverlaid) {
  PropertiesNode props;
  props.SetString("button", "install");
  props.SetInteger("times", 3);
  std::string record, err;
  ASSERT_TRUE(Build("downloader_click", props, record, err));
  EXPECT_EQ(record,
            "{\"distinct_id\":\"{ID}\",\"event\":\"downloader_click\","
            "\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.8\"},"
            "\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.8\",\"button\":\"install\","
            "\"tid\":\"UA-Nuv-Web\",\"times\":3},\"time\":1234567890123,\"type\":\"track\"}");
  EXPECT_EQ(err, "");
}

TEST_F(RecordBuild, TimeAndProjectMoveOutOfTheProperties) {
  PropertiesNode props;
  props.SetDateTime("$time", DateTime{1600000000, 250});
  props.SetString("$project", "other");
  std::string record, err;
  ASSERT_TRUE(Build("e", props, record, err));
  EXPECT_EQ(record,
            "{\"distinct_id\":\"{ID}\",\"event\":\"e\","
            "\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.8\"},"
            "\"project\":\"other\",\"properties\":{\"$lib\":\"cpp\",\"$lib_version\":\"0.8\","
            "\"button\":\"super\",\"tid\":\"UA-Nuv-Web\"},\"time\":1600000000250,"
            "\"type\":\"track\"}");
}

TEST_F(RecordBuild, BadNamesAndTypedPropertiesDropTheEvent) {
  struct Case {
    std::string event;
    PropertiesNode props;
    std::string message;
  };
  std::vector<Case> cases(5);
  cases[0] = {"9lives", {}, "The Event Name need to be a valid variable name."};
  cases[1] = {"", {}, "The Event Name is empty or too long, max length is 100\n"};
  cases[2].event = "e";
  cases[2].props.SetInteger("1st", 1);
  cases[2].message = "The Property Key need to be a valid variable name.";
  cases[3].event = "e";
  cases[3].props.SetString("$time", "now");
  cases[3].message = "The property '$time' should be DateTime type.\n";
  cases[4].event = "e";
  cases[4].props.SetInteger("$project", 1);
  cases[4].message = "The property '$project' should be String type.\n";
  for (const Case& c : cases) {
    std::string record, err;
    EXPECT_FALSE(Build(c.event, c.props, record, err)) << c.message;
    EXPECT_EQ(err, c.message);
    EXPECT_EQ(record, "");
  }
}

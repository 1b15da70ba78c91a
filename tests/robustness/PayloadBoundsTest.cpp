// The one-pass payload builder and the payload index, which keep the work of
// reading and decoding a message linear in its length: each must give what
// the field-by-field builder and the value lookup give.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NameValueIndex.h"
#include "NameValuePayload.h"
#include "NameValuePayloadBuilder.h"
#include "VyrGenericHsMessage.h"

namespace {
using Writes = std::vector<std::pair<std::string, std::string>>;

std::string FieldByField(const Writes& writes) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  for (const auto& [name, value] : writes) NameValueSetField(msg, name.c_str(), value.c_str());
  return msg.GetMsgBuf();
}

std::string Built(const Writes& writes) {
  CNameValuePayloadBuilder builder;
  for (const auto& [name, value] : writes) builder.SetField(name, value);
  CVyrGenericHsMessage msg;
  builder.Store(msg);
  return msg.GetMsgBuf();
}

CVyrGenericHsMessage MessageOf(const std::string& payload) {
  CVyrGenericHsMessage msg;
  payload.copy(msg.AllocMsgBuf(static_cast<int>(payload.size())), payload.size());
  return msg;
}

TEST(PayloadBuilder, GivesTheFieldByFieldPayloadForRuleKeepingTexts) {
  Writes many;  // past the 16 fields from which names are found through an index
  for (int i = 0; i < 40; ++i) many.push_back({"n" + std::to_string(i % 25), std::to_string(i)});
  const struct {
    Writes writes;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{{"x", "9"}}, "x^9;"},
      {{{"a", "1"}, {"b", "2"}, {"a", "3"}, {"c", "4"}, {"b", "5"}, {"b", "6"}}, "a^b^c^1,3;2,5,6;4;"},
      {{{"a", ""}, {"a", "2"}}, "a^,2;"},
      {{{"a", "1"}, {"ab", "2"}, {"A", "3"}}, "a^ab^A^1;2;3;"},
      {{{"", "1"}, {"", "2"}}, "^1,2;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Built(c.writes));
    EXPECT_EQ(FieldByField(c.writes), Built(c.writes));
  }
  EXPECT_EQ(FieldByField(many), Built(many));
}

TEST(PayloadBuilder, KeepsRuleBreakingTextsInTheirField) {
  // Field by field, "b" would find the name token b of "a^b" and be refused
  // for want of a value: 2 would be lost.
  EXPECT_EQ("a^b^1;", FieldByField({{"a^b", "1"}, {"b", "2"}}));
  EXPECT_EQ("a^b^b^1;2;", Built({{"a^b", "1"}, {"b", "2"}}));
  EXPECT_EQ("L^1;x,2;", Built({{"L", "1;x"}, {"L", "2"}}));
}

TEST(PayloadBuilder, TextsEndAtTheirFirstNulAsCTextsDo) {
  using namespace std::string_literals;
  EXPECT_EQ("ab^12;", Built({{"ab\0c"s, "12\0003"s}}));
}

TEST(PayloadBuilder, StoreReplacesThePayloadAndClearStartsAnew) {
  CNameValuePayloadBuilder builder;
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  NameValueSetField(msg, "old", "1");
  builder.SetField("a", "1");
  builder.Store(msg);
  EXPECT_STREQ("a^1;", msg.GetMsgBuf());
  builder.Clear();
  EXPECT_EQ(0u, builder.GetFieldCount());
  builder.Store(msg);
  ASSERT_NE(nullptr, msg.GetMsgBuf());
  EXPECT_STREQ("", msg.GetMsgBuf());
  builder.SetField("b", "2");
  builder.SetField("b", "3");
  builder.Store(msg);
  EXPECT_STREQ("b^2,3;", msg.GetMsgBuf());
}

TEST(PayloadIndex, FindsWhatTheLookupFinds) {
  std::string longPayload;  // 10003 names: the last two lie beyond the lookup's reach
  for (int i = 0; i < 10003; ++i) longPayload += "n" + std::to_string(i) + "^";
  for (int i = 0; i < 10003; ++i) longPayload += std::to_string(i) + ";";
  const std::vector<std::string> payloads = {
      "", "a^b^c^1,3;2,5,6;4;", "a^b^c^1;;3;", "a^;", "a^b^1;;", "a^b^1", "ab;", ";", "^;", "a^b^a^1;2;3;",
      "a^^c^1;2;3;", longPayload,
  };
  const std::vector<std::string> names = {"", "a", "b", "c", "d", "ab", "n0", "n9999", "n10000", "n10001", "n10002"};
  for (const std::string& payload : payloads) {
    const CVyrGenericHsMessage msg = MessageOf(payload);
    const CNameValueIndex index(msg);
    for (const std::string& name : names) {
      char* pszExpected = nullptr;
      const bool bExpected = NameValueGetValue(msg, name.c_str(), &pszExpected) == 0;
      std::string_view value;
      ASSERT_EQ(bExpected, index.Find(name, value)) << payload.substr(0, 40) << " / " << name;
      if (bExpected) {
        EXPECT_EQ(std::string_view(pszExpected), value) << payload.substr(0, 40) << " / " << name;
      }
      NameValueFreeValue(pszExpected);
    }
  }
}

TEST(PayloadIndex, WorkedExamples) {
  const CVyrGenericHsMessage msg = MessageOf("a^b^a^1;2;3;");
  const CNameValueIndex index(msg);
  std::string_view value;
  ASSERT_TRUE(index.Find("a", value));
  EXPECT_EQ("1", value);  // the first occurrence
  ASSERT_TRUE(index.Find("b", value));
  EXPECT_EQ("2", value);
  EXPECT_FALSE(index.Find("c", value));
}
}  // namespace

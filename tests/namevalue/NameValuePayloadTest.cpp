// The payload builder and the value lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "NameValuePayload.h"
#include "VyrGenericHsMessage.h"

namespace {
std::string Payload(const CVyrGenericHsMessage& msg) { return msg.GetMsgBuf() ? msg.GetMsgBuf() : "<none>"; }

void SetPayload(CVyrGenericHsMessage& msg, const std::string& text) {
  char* buf = msg.AllocMsgBuf(static_cast<int>(text.size()));
  std::memcpy(buf, text.data(), text.size());
}

// The lookup's answer: its result and, when found, the value.
struct Lookup {
  int nResult;
  std::string strValue;
};
Lookup Find(const CVyrGenericHsMessage& msg, const char* name) {
  char* value = nullptr;
  int result = NameValueGetValue(msg, name, &value);
  Lookup out{result, value ? value : "<null>"};
  NameValueFreeValue(value);
  return out;
}

TEST(NameValueSetField, WorkedSequenceFromEmpty) {
  struct Step {
    const char* name;
    const char* value;
    const char* payload;
  };
  const Step steps[] = {
      {"a", "1", "a^1;"},           {"b", "2", "a^b^1;2;"},         {"a", "3", "a^b^1,3;2;"},
      {"c", "4", "a^b^c^1,3;2;4;"}, {"b", "5", "a^b^c^1,3;2,5;4;"}, {"b", "6", "a^b^c^1,3;2,5,6;4;"},
  };
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  for (const Step& s : steps) {
    EXPECT_EQ(NameValueSetField(msg, s.name, s.value), 0) << s.name << "=" << s.value;
    EXPECT_EQ(Payload(msg), s.payload);
  }
}

TEST(NameValueSetField, NoPayloadAndEmptyPayloadAlike) {
  CVyrGenericHsMessage none;
  EXPECT_EQ(NameValueSetField(none, "x", "9"), 0);
  EXPECT_EQ(Payload(none), "x^9;");

  CVyrGenericHsMessage empty;
  empty.AllocMsgBuf(0);
  EXPECT_EQ(NameValueSetField(empty, "x", "9"), 0);
  EXPECT_EQ(Payload(empty), "x^9;");
}

TEST(NameValueSetField, PrefixAndCaseMakeFieldsOfTheirOwn) {
  CVyrGenericHsMessage msg;
  NameValueSetField(msg, "a", "1");
  NameValueSetField(msg, "ab", "2");
  NameValueSetField(msg, "A", "3");
  EXPECT_EQ(Payload(msg), "a^ab^A^1;2;3;");
  NameValueSetField(msg, "ab", "4");
  EXPECT_EQ(Payload(msg), "a^ab^A^1;2,4;3;");
}

TEST(NameValueSetField, EmptyValueIsAnEmptyElement) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  NameValueSetField(msg, "a", "");
  EXPECT_EQ(Payload(msg), "a^;");
  NameValueSetField(msg, "a", "2");
  EXPECT_EQ(Payload(msg), "a^,2;");
}

TEST(NameValueSetField, MissingValueRefusesOnlyThatName) {
  CVyrGenericHsMessage msg;
  SetPayload(msg, "a^b^1;");
  EXPECT_EQ(NameValueSetField(msg, "b", "7"), 1);
  EXPECT_EQ(Payload(msg), "a^b^1;");
  EXPECT_EQ(NameValueSetField(msg, "a", "7"), 0);
  EXPECT_EQ(Payload(msg), "a^b^1,7;");
}

TEST(NameValueGetValue, FindsWholeValuesAndStopsAtEmptyOnes) {
  struct Case {
    const char* payload;
    const char* name;
    int result;
    const char* value;  // "<null>" when not found
  };
  const Case cases[] = {
      {"a^b^c^1,3;2,5,6;4;", "a", 0, "1,3"},
      {"a^b^c^1,3;2,5,6;4;", "b", 0, "2,5,6"},
      {"a^b^c^1,3;2,5,6;4;", "c", 0, "4"},
      {"a^b^c^1,3;2,5,6;4;", "d", 1, "<null>"},
      {"a^b^c^1,3;2,5,6;4;", "B", 1, "<null>"},
      {"a^ab^1;2;", "ab", 0, "2"},
      {"a^b^c^1;;3;", "a", 0, "1"},
      {"a^b^c^1;;3;", "b", 1, "<null>"},
      {"a^b^c^1;;3;", "c", 1, "<null>"},
      {"a^;", "a", 0, ""},
      {"a^b^1;;", "b", 1, "<null>"},
      {"a^b^1", "a", 1, "<null>"},      // no ";"
      {"ab;c^1;", "ab", 1, "<null>"},   // no "^" before the first ";"
      {"", "a", 1, "<null>"},
      {"^1;", "", 1, "<null>"},         // empty first name
  };
  for (const Case& c : cases) {
    CVyrGenericHsMessage msg;
    SetPayload(msg, c.payload);
    Lookup got = Find(msg, c.name);
    EXPECT_EQ(got.nResult, c.result) << c.payload << " / " << c.name;
    EXPECT_EQ(got.strValue, c.value) << c.payload << " / " << c.name;
  }
}

TEST(NameValueGetValue, MessageWithoutPayloadFindsNothing) {
  CVyrGenericHsMessage msg;
  EXPECT_EQ(Find(msg, "a").nResult, 1);
}

TEST(NameValueGetValue, OutputUntouchedWhenNotFound) {
  CVyrGenericHsMessage msg;
  SetPayload(msg, "a^1;");
  char sentinel = 0;
  char* value = &sentinel;
  EXPECT_EQ(NameValueGetValue(msg, "z", &value), 1);
  EXPECT_EQ(value, &sentinel);
}

TEST(NameValueGetValue, OnlyTheFirst10001NamesCanBeFound) {
  // n0 ... n10002 with values v0 ... v10002, built directly: 10003 names.
  const int nNames = kNameValueLookupLimit + 3;
  std::string names, values;
  for (int i = 0; i < nNames; ++i) {
    std::string number = std::to_string(i);
    names.append("n").append(number).append("^");
    values.append("v").append(number).append(";");
  }
  CVyrGenericHsMessage msg;
  SetPayload(msg, names + values);
  EXPECT_EQ(Find(msg, "n0").strValue, "v0");
  EXPECT_EQ(Find(msg, "n9999").strValue, "v9999");
  Lookup last = Find(msg, "n10000");  // the 10001st name
  EXPECT_EQ(last.nResult, 0);
  EXPECT_EQ(last.strValue, "v10000");
  EXPECT_EQ(Find(msg, "n10001").nResult, 1);  // the 10002nd
  EXPECT_EQ(Find(msg, "n10002").nResult, 1);
}
}  // namespace

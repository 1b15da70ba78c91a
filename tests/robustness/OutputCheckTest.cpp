// The fuzz targets' output checks: strict JSON and CSV records.
#include <gtest/gtest.h>

#include <string>

#include "OutputCheck.h"

namespace {
TEST(OutputCheck, StrictJson) {
  const struct {
    std::string text;
    bool ok;
  } cases[] = {
      {R"({"a": [1, -0.5e+3, 0, true, false, null, "x\u00e9\n"], "b": {}})", true},
      {" [ ] ", true},
      {"\"caf\xc3\xa9\"", true},
      {"", false},
      {"{\"a\": 1,}", false},          // trailing comma
      {"[1 2]", false},                 // no comma
      {"{\"a\" 1}", false},             // no colon
      {"[01]", false},                  // leading zero
      {"[+1]", false},                  // plus sign
      {"[1.]", false},                  // no fraction digits
      {"[nan]", false},                 // not a JSON number
      {"\"a\tb\"", false},              // raw control character
      {"\"\\x41\"", false},             // no such escape
      {"\"\\u12G4\"", false},           // bad hex
      {"\"\xc3\"", false},              // cut UTF-8
      {"\"\xed\xa0\x80\"", false},      // a surrogate
      {"\"\xc0\xaf\"", false},          // overlong
      {"{} {}", false},                 // two values
      {std::string(65, '[') + std::string(65, ']'), false},  // too deep
  };
  for (const auto& c : cases) EXPECT_EQ(IsStrictJson(c.text), c.ok) << c.text;
}

TEST(OutputCheck, CsvRecords) {
  const struct {
    std::string text;
    size_t fields;
    bool ok;
    size_t records;
  } cases[] = {
      {"a,b,c\n1,,3\n", 3, true, 2},
      {"\"x,\"\"y\"\"\n\",b,c\n", 3, true, 1},  // comma, quotes and LF quoted
      {"", 3, true, 0},
      {"a,b\n", 3, false, 0},       // too few fields
      {"a,b,c,d\n", 3, false, 0},   // too many
      {"a,b,c", 3, false, 0},       // no LF at the end
      {"a,b\"x,c\n", 3, false, 0},  // quote in an unquoted field
      {"a,b,c\r\n", 3, false, 0},   // CR LF
      {"\"a\"x,b,c\n", 3, false, 0},  // text after a closing quote
      {"\"a,b,c\n", 3, false, 0},   // unclosed quote
  };
  for (const auto& c : cases) {
    size_t n = 99;
    EXPECT_EQ(IsCsvRecords(c.text, c.fields, n), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(n, c.records) << c.text;
    }
  }
}
}  // namespace

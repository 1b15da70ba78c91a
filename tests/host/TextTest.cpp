// Field splitting, CString's bounds and trimming, and CMap's lookups.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "CMap.h"
#include "CString.h"
#include "KelStringUtils.h"

namespace {
struct FieldCase {
  const char* text;
  char sep;
  int field;
  const char* expected;
};

TEST(FieldIterate, FieldsByNumber) {
  const FieldCase cases[] = {
      {"a^b^1;2;", '^', 0, "a"},       {"a^b^1;2;", '^', 1, "b"},   {"a^b^1;2;", '^', 2, "1;2;"},
      {"a^b^1;2;", '^', 3, ""},        {"a^b^1;2;", '^', -1, ""},   {"a^b^1;2;", '^', INT_MIN, ""},
      {"a^b^1;2;", ';', 0, "a^b^1"},   {"a^b^1;2;", ';', 1, "2"},   {"a^b^1;2;", ';', 2, ""},
      {"a^b^1;2;", ';', 3, ""},        {"a^b^1;2;", ';', INT_MAX, ""}, {"a;;c", ';', 1, ""},
      {"a;;c", ';', 2, "c"},           {"", ';', 0, ""},            {";", ';', 1, ""},
      {"12:00\t03/15/05", '\t', 1, "03/15/05"}, {"no separator", ';', 0, "no separator"},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at " << c.sep << " field " << c.field);
    CString out("stale");
    zuCStringGetFieldIterate(c.text, c.field, c.sep, out);
    EXPECT_EQ(out, c.expected);
  }
}

struct IterateCase {
  const char* text;
  char sep;
  std::vector<std::string> following;  // fields 1, 2, ... and then empties
  std::vector<int> positions;          // the start of each field read; -1: past the end
};

TEST(FieldIterate, NextFieldsAndEmptyAfterTheLast) {
  const IterateCase cases[] = {
      {"a^b^1;2;", '^', {"b", "1;2;", "", ""}, {2, 4, -1, -1}},
      {"a^b^1;2;", ';', {"2", "", "", ""}, {6, 8, -1, -1}},
      {"a^b^c^1,3;2,5,6;4;", ';', {"2,5,6", "4", "", ""}, {10, 16, 18, -1}},
      {"a;;c", ';', {"", "c", "", ""}, {2, 3, -1, -1}},
      {"", ';', {"", ""}, {-1, -1}},
  };
  for (const IterateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at " << c.sep);
    int pos = 0;
    for (size_t i = 0; i < c.following.size(); ++i) {
      CString out("stale");
      zuCStringGetNextFieldIterate(c.text, pos, c.sep, out);
      EXPECT_EQ(out.str(), c.following[i]) << "call " << i;
      if (c.positions[i] >= 0) {
        EXPECT_EQ(pos, c.positions[i]) << "call " << i;
      }
    }
  }
  for (int start : {-1, INT_MIN, 100, INT_MAX}) {  // positions outside the text
    int pos = start;
    CString out("stale");
    zuCStringGetNextFieldIterate("a;b;c", pos, ';', out);
    EXPECT_TRUE(out.IsEmpty()) << start;
  }
}

TEST(CStringBounds, FindAndGetAtOutsideTheTextFindNothing) {
  const CString s("abcabc");
  const struct {
    int got, expected;
  } finds[] = {{s.Find('c'), 2},           {s.Find('c', 3), 5},         {s.Find("bc", 2), 4},
               {s.Find('a', -1), -1},      {s.Find('a', 6), -1},        {s.Find('a', INT_MAX), -1},
               {s.Find("abc", INT_MIN), -1}, {s.Find("abc", 7), -1},   {s.Find(nullptr), -1},
               {s.ReverseFind('b'), 4},    {s.ReverseFind('z'), -1}};
  for (size_t i = 0; i < std::size(finds); ++i) EXPECT_EQ(finds[i].got, finds[i].expected) << "case " << i;
  EXPECT_EQ(s.GetAt(5), 'c');
  for (int i : {-1, 6, INT_MAX, INT_MIN}) EXPECT_EQ(s[i], '\0') << i;
}

TEST(CStringBounds, MidLeftRightClampTheirArguments) {
  const CString s("abcdef");
  struct {
    CString got;
    const char* expected;
  } cases[] = {
      {s.Mid(2), "cdef"},           {s.Mid(-3), "abcdef"},        {s.Mid(6), ""},
      {s.Mid(INT_MAX), ""},         {s.Mid(2, 3), "cde"},         {s.Mid(2, 100), "cdef"},
      {s.Mid(2, -1), ""},           {s.Mid(-2, 3), "abc"},        {s.Mid(INT_MIN, INT_MAX), "abcdef"},
      {s.Left(2), "ab"},            {s.Left(-1), ""},             {s.Left(100), "abcdef"},
      {s.Right(2), "ef"},           {s.Right(-1), ""},            {s.Right(INT_MAX), "abcdef"},
      {CString().Mid(1, 1), ""},    {CString().Right(3), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(CStringTrim, OnlyBlanksAreTrimmed) {
  CString left(" \t a b \t "), right(" \t a b \t "), both("  x  "), blanks("   ");
  EXPECT_EQ(left.TrimLeft(), "\t a b \t ");
  EXPECT_EQ(right.TrimRight(), " \t a b \t");
  EXPECT_EQ(both.Trim(), "x");
  EXPECT_EQ(blanks.TrimLeft(), "");
  CString other("--v--");
  EXPECT_EQ(other.TrimLeft('-').TrimRight('-'), "v");
}

TEST(CStringFormat, LongOutputIsWrittenWhole) {
  const std::string big(5000, 'x');
  CString s;
  s.Format("%s-%d", big.c_str(), 42);
  EXPECT_EQ(s.str(), big + "-42");
  s.Format("%.3f", 2.5);
  EXPECT_EQ(s, "2.500");
  s.AppendFormat(" %0300d", 7);
  ASSERT_EQ(s.GetLength(), 5 + 1 + 300);
  EXPECT_EQ(s.Right(2), "07");
  EXPECT_EQ(s.Mid(6, 3), "000");
}

using CStringToInt = CMap<CString, LPCTSTR, int, int>;

TEST(CMapLookup, EmptyMapAndReplacement) {
  CStringToInt map;
  EXPECT_EQ(map.GetHashTableSize(), 17u);
  int value = -1;
  EXPECT_FALSE(map.Lookup("Levels", value));
  EXPECT_FALSE(map.Lookup("", value));
  EXPECT_EQ(value, -1);
  map.SetAt("Levels", 1);
  map.SetAt("Levels", 2);
  EXPECT_EQ(map.GetCount(), 1);
  ASSERT_TRUE(map.Lookup("Levels", value));
  EXPECT_EQ(value, 2);
}

TEST(CMapLookup, WholeKeysCaseSensitiveAcrossTheBuckets) {
  CStringToInt map;
  map.SetAt("Time", 1);
  map.SetAt("time", 2);
  map.SetAt("Tim", 3);
  for (int i = 0; i < 200; ++i) map.SetAt(CString(std::to_string(i)), 1000 + i);
  EXPECT_EQ(map.GetCount(), 203);
  const struct {
    std::string key;
    int expected;  // 0: absent
  } cases[] = {{"Time", 1}, {"time", 2}, {"Tim", 3}, {"TIME", 0}, {"Times", 0}, {"Ti", 0}, {"", 0},
               {"0", 1000}, {"199", 1199}, {"200", 0}, {"07", 0}};
  for (const auto& c : cases) {
    const int* p = map.PLookup(c.key.c_str());
    EXPECT_EQ(p ? *p : 0, c.expected) << c.key;
  }
}
}  // namespace

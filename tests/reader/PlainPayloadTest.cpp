// The one-pass payload of a measurement line, and the index of its fields,
// against the field-by-field build with the payload builder (one field per
// column, then each trailing value appended to the last column), over random
// lines and column lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "HytemPlainPayload.h"
#include "NameValuePayload.h"
#include "VyrGenericHsMessage.h"

namespace {
// Field i of the line split at tabs; empty beyond the last field.
std::string Field(std::string_view line, size_t i) {
  size_t start = 0;
  for (size_t k = 0; k < i; ++k) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) return "";
    start = tab + 1;
  }
  return std::string(line.substr(start, line.find('\t', start) - start));
}

size_t FieldCount(std::string_view line) { return static_cast<size_t>(std::count(line.begin(), line.end(), '\t')) + 1; }

std::string FieldByField(const std::vector<std::string>& columns, std::string_view line) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  for (size_t i = 0; i < columns.size(); ++i) NameValueSetField(msg, columns[i].c_str(), Field(line, i).c_str());
  for (size_t j = columns.size(); j < FieldCount(line); ++j) {
    const std::string value = Field(line, j);
    if (value.empty()) break;
    NameValueSetField(msg, columns.back().c_str(), value.c_str());
  }
  return msg.GetMsgBuf();
}

CStringArray Columns(const std::vector<std::string>& names) {
  CStringArray a;
  for (const std::string& n : names) a.Add(CString(n));
  return a;
}

std::string RandomText(std::mt19937& rng, const std::string& alphabet, size_t nMax) {
  std::string s;
  const size_t n = rng() % (nMax + 1);
  for (size_t k = 0; k < n; ++k) s += alphabet[rng() % alphabet.size()];
  return s;
}

TEST(HytemPlainPayload, GivesTheFieldByFieldPayloadForEveryPlainLine) {
  std::mt19937 rng(17);
  const std::vector<std::vector<std::string>> columnLists = {
      {"Time", "Date", "BandNumber", "Levels"},
      {"Levels"},
      {"Time", "Date", "Latitude", "NS", "Longitude", "WE", "Validity", "Level1", "Level2", "Level3", "Level4"},
      {"a", "ab", "A", "b"},
  };
  // Mostly digits and tabs, so that empty fields, runs of tabs, tabs at both
  // ends and lines longer than eight bytes all occur.
  const std::string alphabet = "-0123456789.\t\t\t\t, ";
  int nBuilt = 0;
  for (const auto& names : columnLists) {
    CHytemPlainPayload plain;
    plain.SetColumns(Columns(names));
    for (int i = 0; i < 20000; ++i) {
      const std::string line = RandomText(rng, alphabet, i % 10 == 0 ? 400 : 40);
      std::string text;
      std::vector<std::uint32_t> ends;
      ASSERT_TRUE(plain.Build(line, text, &ends)) << line;
      ++nBuilt;
      ASSERT_EQ(text, FieldByField(names, line)) << "line \"" << line << '"';
      // The index: every ";" of the values section, which follows the names.
      ASSERT_EQ(text.rfind('^') + 1, plain.NamesLength());
      std::vector<std::uint32_t> semis;
      for (size_t k = plain.NamesLength(); k < text.size(); ++k)
        if (text[k] == ';') semis.push_back(static_cast<std::uint32_t>(k));
      ASSERT_EQ(ends, semis) << "line \"" << line << '"';
    }
  }
  EXPECT_EQ(nBuilt, 80000);
}

TEST(HytemPlainPayload, RefusesDelimitersNulsAndRepeatedNames) {
  CHytemPlainPayload plain;
  std::string text;
  plain.SetColumns(Columns({"Time", "Levels"}));
  for (const std::string& line : std::vector<std::string>{"1\t2^3", "1;\t2", std::string("1\t2\0" "3", 5)})
    EXPECT_FALSE(plain.Build(line, text)) << line;
  EXPECT_TRUE(plain.Build("1\t2,3", text));
  EXPECT_EQ(text, "Time^Levels^1;2,3;");
  // A delimiter anywhere in a longer line, in a column or a trailing value.
  std::mt19937 rng(4);
  for (int i = 0; i < 3000; ++i) {
    std::string line = RandomText(rng, "-0123456789.\t\t", 60);
    const char delimiters[] = {'^', ';', '\0'};
    line.insert(rng() % (line.size() + 1), 1, delimiters[i % 3]);
    EXPECT_FALSE(plain.Build(line, text)) << line;
  }

  for (const auto& names : std::vector<std::vector<std::string>>{{"Time", "Time"}, {"Ti^me"}, {"Lev;els"}, {}}) {
    plain.SetColumns(Columns(names));
    EXPECT_FALSE(plain.Build("1\t2", text)) << names.size();
  }
}

TEST(HytemPlainPayload, ExamplesWorkedByHand) {
  CHytemPlainPayload plain;
  plain.SetColumns(Columns({"Time", "Date", "BandNumber", "Levels"}));
  const struct {
    const char* line;
    const char* payload;
  } cases[] = {
      {"12:00:01\t03/15/05\t2\t-80\t-82\t-85", "Time^Date^BandNumber^Levels^12:00:01;03/15/05;2;-80,-82,-85;"},
      {"", "Time^Date^BandNumber^Levels^;;;;"},
      {"1\t2", "Time^Date^BandNumber^Levels^1;2;;;"},
      {"1\t2\t3\t\t-82", "Time^Date^BandNumber^Levels^1;2;3;,-82;"},
      {"1\t2\t3\t-80\t-82\t\t-85", "Time^Date^BandNumber^Levels^1;2;3;-80,-82;"},
      {"1\t2\t3\t-80\t", "Time^Date^BandNumber^Levels^1;2;3;-80;"},
  };
  std::string text;
  for (const auto& c : cases) {
    ASSERT_TRUE(plain.Build(c.line, text)) << c.line;
    EXPECT_EQ(text, c.payload) << c.line;
  }
}
}  // namespace

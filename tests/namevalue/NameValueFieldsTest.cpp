// The copy-free field cursor against the host's field routines, field by
// field, over random texts: separators next to each other, at both ends, and
// fields shorter and longer than the cursor's in-place search.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "KelStringUtils.h"
#include "NameValueFields.h"

namespace {
void ExpectSameFields(const std::string& text, char chSep) {
  const CString strText(text);
  CNameValueFieldCursor cursor(text, chSep);
  CString strField;
  zuCStringGetFieldIterate(strText, 0, chSep, strField);
  ASSERT_EQ(cursor.Current(), strField.view()) << '"' << text << "\" field 0";
  int nPos = 0;
  // Two more steps than there are fields: the cursor stays empty after the last.
  const size_t nSteps = static_cast<size_t>(std::count(text.begin(), text.end(), chSep)) + 3;
  for (size_t k = 1; k < nSteps; ++k) {
    zuCStringGetNextFieldIterate(strText, nPos, chSep, strField);
    ASSERT_EQ(cursor.Next(), strField.view()) << '"' << text << "\" field " << k;
  }
}

TEST(NameValueFieldCursor, GivesTheHostsFieldsForRandomTexts) {
  std::mt19937 rng(23);
  for (int i = 0; i < 20000; ++i) {
    // Short fields mostly, long ones now and then, separators in runs.
    std::string text;
    const int nFields = static_cast<int>(rng() % 12);
    for (int f = 0; f < nFields; ++f) {
      const size_t nLen = rng() % 7 == 0 ? rng() % 90 : rng() % 9;
      for (size_t c = 0; c < nLen; ++c) text += static_cast<char>('a' + rng() % 3);
      text += rng() % 2 ? '^' : ';';
    }
    if (!text.empty() && rng() % 2) text.pop_back();
    ExpectSameFields(text, '^');
    ExpectSameFields(text, ';');
  }
}

TEST(NameValueFieldCursor, FieldZeroIsTheSameBeforeAndAfterStepping) {
  CNameValueFieldCursor cursor("ab^cd^ef", '^');
  EXPECT_EQ(cursor.Current(), "ab");
  EXPECT_EQ(cursor.Next(), "cd");
  EXPECT_EQ(cursor.Current(), "ab");
  EXPECT_EQ(cursor.Next(), "ef");
  EXPECT_EQ(cursor.Next(), "");
  EXPECT_EQ(cursor.Next(), "");
}
}  // namespace

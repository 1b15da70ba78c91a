// The value lookup (NameValueGetValue and its copy-free form) against the
// lookup written out step by step with the host's field routines, over random
// payloads: well-formed ones and any mix of names, values and delimiters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "KelStringUtils.h"
#include "NameValuePayload.h"
#include "VyrGenericHsMessage.h"

namespace {
// Field 0 at ";" holds the names and the first value; then name k and value
// k are field k at "^" and at ";", up to the first empty one, for at most
// kNameValueLookupLimit further names.
int ReferenceLookup(const std::string& payload, const std::string& sought, std::string& value) {
  const CString s(payload);
  if (s.Find(';') < 0) return 1;
  CString v, n;
  zuCStringGetFieldIterate(s, 0, ';', v);
  if (v.IsEmpty()) return 1;
  zuCStringGetFieldIterate(s, 0, '^', n);
  if (n.IsEmpty()) return 1;
  const int nLastCaret = v.ReverseFind('^');
  if (nLastCaret < 0) return 1;
  v = v.Mid(nLastCaret + 1);
  int nNamePos = 0, nValuePos = 0;
  for (int k = 0; !(n == CString(sought)); ++k) {
    if (k == kNameValueLookupLimit) return 1;
    zuCStringGetNextFieldIterate(s, nNamePos, '^', n);
    if (n.IsEmpty()) return 1;
    zuCStringGetNextFieldIterate(s, nValuePos, ';', v);
    if (v.IsEmpty()) return 1;
  }
  value = v.str();
  return 0;
}

void ExpectLikeReference(const std::string& payload, const std::string& sought, int& nFailures) {
  CVyrGenericHsMessage msg;
  char* buf = msg.AllocMsgBuf(static_cast<int>(payload.size()));
  payload.copy(buf, payload.size());
  std::string expected;
  const int rcExpected = ReferenceLookup(payload, sought, expected);
  char* psz = nullptr;
  const int rc = NameValueGetValue(msg, sought.c_str(), &psz);
  std::string_view view;
  const int rcView = NameValueFindValue(msg, sought, view);
  const bool ok = rc == rcExpected && rcView == rcExpected &&
                  (rc != 0 || (psz && expected == psz && view == expected));
  NameValueFreeValue(psz);
  if (!ok && ++nFailures <= 20) ADD_FAILURE() << "payload \"" << payload << "\", name \"" << sought << '"';
}

TEST(NameValueLookupDiff, RandomPayloadsOfNamesValuesAndDelimiters) {
  std::mt19937 rng(31);
  const std::string alphabet = "aab^^;;,";
  const std::vector<std::string> names = {"a", "b", "ab", "aa", "ba", "", "a^", "a;b", "aab"};
  int nFailures = 0;
  for (int i = 0; i < 100000; ++i) {
    std::string payload;
    const size_t n = rng() % 40;
    for (size_t k = 0; k < n; ++k) payload += alphabet[rng() % alphabet.size()];
    for (const std::string& sought : names) ExpectLikeReference(payload, sought, nFailures);
  }
  EXPECT_EQ(nFailures, 0);
}

TEST(NameValueLookupDiff, WellFormedPayloadsAndTheLookupLimit) {
  std::mt19937 rng(37);
  int nFailures = 0;
  for (int i = 0; i < 3000; ++i) {
    CVyrGenericHsMessage msg;
    msg.AllocMsgBuf(0);
    const int nFields = static_cast<int>(rng() % 14);
    for (int f = 0; f < nFields; ++f) {
      const std::string name = "Level" + std::to_string(rng() % 9);
      const std::string value = rng() % 8 == 0 ? "" : std::to_string(static_cast<int>(rng() % 200) - 150);
      NameValueSetField(msg, name.c_str(), value.c_str());
    }
    const std::string payload = msg.GetMsgBuf();
    for (int k = 0; k < 10; ++k) ExpectLikeReference(payload, "Level" + std::to_string(k), nFailures);
  }
  // Names beyond the limit: n0..n10002.
  std::string names, values;
  for (int i = 0; i <= kNameValueLookupLimit + 2; ++i) {
    names.append("n").append(std::to_string(i)).append("^");
    values.append("v").append(std::to_string(i)).append(";");
  }
  for (int i : {0, 1, kNameValueLookupLimit - 1, kNameValueLookupLimit, kNameValueLookupLimit + 1})
    ExpectLikeReference(names + values, "n" + std::to_string(i), nFailures);
  EXPECT_EQ(nFailures, 0);
}
}  // namespace

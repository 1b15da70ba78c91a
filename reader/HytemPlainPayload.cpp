#include "HytemPlainPayload.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <set>

namespace {
constexpr char kFieldSeparator = '\t';
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
constexpr char kElementJoin = ',';

bool HasNoPayloadDelimiter(std::string_view text) {
  return text.find(kNameEnd) == std::string_view::npos && text.find(kValueEnd) == std::string_view::npos &&
         text.find('\0') == std::string_view::npos;
}

// 0x80 in every zero byte of x, 0 in every other byte.
std::uint64_t ZeroBytes(std::uint64_t x) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// ch in every byte.
constexpr std::uint64_t Bytes(char ch) { return 0x0101010101010101ULL * static_cast<unsigned char>(ch); }

// 0x80 in every byte of x that holds a tab, 0 in every other byte.
std::uint64_t TabBytes(std::uint64_t x) {
  constexpr std::uint64_t kTabs = 0x0909090909090909ULL;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const std::uint64_t t = x ^ kTabs;  // a zero byte where x has a tab
  return ~(((t & kLow7) + kLow7) | t | kLow7);
}

// Where the trailing values end: at the first empty field. The result is the
// length of the text before the tab that opens the empty field, 0 when the
// first field is empty, and the whole length when no field is empty. Eight
// bytes at a time: a scan line carries thousands of trailing values.
size_t TrailingLength(std::string_view s) {
  if (s.empty() || s[0] == kFieldSeparator) return 0;
  size_t i = 0;
  bool bPrevTab = false;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t x;
      std::memcpy(&x, s.data() + i, sizeof x);
      const std::uint64_t tabs = TabBytes(x);
      if (bPrevTab && (tabs & 0x80) != 0) return i - 1;
      const std::uint64_t pairs = tabs & (tabs >> 8);  // a tab followed by a tab
      if (pairs != 0) return i + static_cast<size_t>(std::countr_zero(pairs) >> 3);
      bPrevTab = (tabs >> 63) != 0;
    }
  }
  for (; i < s.size(); ++i) {
    const bool bTab = s[i] == kFieldSeparator;
    if (bTab && bPrevTab) return i - 1;
    bPrevTab = bTab;
  }
  return bPrevTab ? s.size() - 1 : s.size();  // a tab at the end opens an empty field
}

// Appends "," and each trailing value, which are joined by tabs in the line.
void AppendTrailingValues(std::string_view rest, std::string& text) {
  const size_t n = TrailingLength(rest);
  if (n == 0) return;
  const size_t base = text.size();
  text.resize(base + 1 + n);
  char* out = text.data() + base;
  *out++ = kElementJoin;
  const char* in = rest.data();
  for (size_t k = 0; k < n; ++k) out[k] = in[k] == kFieldSeparator ? kElementJoin : in[k];
}
}  // namespace

void CHytemPlainPayload::SetColumns(const CStringArray& columns) {
  m_nColumns = columns.GetSize();
  m_strNames.clear();
  m_bPlainColumns = m_nColumns > 0;
  std::set<std::string_view> seen;
  for (int i = 0; i < m_nColumns; ++i) {
    const std::string_view name = columns[i].view();
    if (!HasNoPayloadDelimiter(name) || !seen.insert(name).second) m_bPlainColumns = false;
    m_strNames.append(name).push_back(kNameEnd);
  }
}

bool CHytemPlainPayload::Build(std::string_view line, std::string& text, std::vector<std::uint32_t>* pValueEnds) const {
  if (!m_bPlainColumns) return false;
  // Where each column's ";" goes, noted as it is written: the decoder then
  // need not look for them again.
  std::uint32_t* pEnds = nullptr;
  if (pValueEnds) {
    pValueEnds->resize(static_cast<size_t>(m_nColumns));
    pEnds = pValueEnds->data();
  }
  int nEnds = 0;
  auto endValue = [&](size_t at) {
    if (pEnds) pEnds[nEnds++] = static_cast<std::uint32_t>(at);
  };
  // One pass over the columns' fields: each byte is copied, a tab becomes
  // the ";" that ends a column's value, and a payload delimiter refuses the
  // line. Fields beyond the end of the line are empty.
  const size_t nNames = m_strNames.size();
  text.resize(nNames + line.size() + static_cast<size_t>(m_nColumns) + 1);
  char* const out = text.data();
  std::memcpy(out, m_strNames.data(), nNames);
  size_t o = nNames;
  size_t i = 0;
  int nTabs = 0;
  // A tab or a delimiter at line[i]: false when it refuses the line, else
  // whether the columns go on.
  bool bRefused = false;
  auto special = [&](char ch) {
    if (ch != kFieldSeparator) {
      bRefused = true;
      return false;
    }
    if (++nTabs == m_nColumns) return false;  // the trailing values start after this tab
    endValue(o);
    out[o++] = kValueEnd;
    return true;
  };
  bool bColumnsGoOn = true;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at a time while none is special.
    for (; bColumnsGoOn && i + 8 <= line.size();) {
      std::uint64_t x;
      std::memcpy(&x, line.data() + i, sizeof x);
      const std::uint64_t marks = ZeroBytes(x ^ Bytes(kFieldSeparator)) | ZeroBytes(x ^ Bytes(kNameEnd)) |
                                  ZeroBytes(x ^ Bytes(kValueEnd)) | ZeroBytes(x);
      const size_t n = marks == 0 ? 8 : static_cast<size_t>(std::countr_zero(marks) >> 3);
      std::memcpy(out + o, line.data() + i, 8);  // room: o + 8 <= nNames + line.size()
      o += n;
      i += n;
      if (marks == 0) continue;
      bColumnsGoOn = special(line[i]);
      if (bRefused) return false;
      if (bColumnsGoOn) ++i;
    }
  }
  for (; bColumnsGoOn && i < line.size(); ++i) {
    const char ch = line[i];
    if (ch == kFieldSeparator || ch == kNameEnd || ch == kValueEnd || ch == '\0') {
      bColumnsGoOn = special(ch);
      if (bRefused) return false;
      if (!bColumnsGoOn) break;
    } else {
      out[o++] = ch;
    }
  }
  for (; nTabs < m_nColumns - 1; ++nTabs) {
    endValue(o);
    out[o++] = kValueEnd;
  }
  text.resize(o);
  if (i < line.size()) {
    const std::string_view rest = line.substr(i + 1);
    if (!HasNoPayloadDelimiter(rest)) return false;
    AppendTrailingValues(rest, text);
  }
  endValue(text.size());
  text.push_back(kValueEnd);
  return true;
}

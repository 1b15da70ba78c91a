// Field iteration over a text without copies: the same fields as the host's
// zuCStringGetFieldIterate (field 0) and zuCStringGetNextFieldIterate (each
// following field), as views into the text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The first chSep in [p, end), or end. Fields are mostly a few characters
// long: the first 32 bytes are searched eight at a time in place, the rest
// with memchr.
inline const char* NameValueFindSeparator(const char* p, const char* end, char chSep) {
  // Offsets, not pointers past the end: those would be undefined.
  const size_t n = static_cast<size_t>(end - p);
  size_t k = 0;
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<unsigned char>(chSep);
    for (; n - k >= 8 && k < 32; k += 8) {
      std::uint64_t x;
      std::memcpy(&x, p + k, sizeof x);
      x ^= pattern;  // a zero byte where the separator is
      const std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
      if (zeros != 0) return p + k + (std::countr_zero(zeros) >> 3);
    }
  }
  for (const size_t stop = k + 8; k < n && k < stop; ++k)
    if (p[k] == chSep) return p + k;
  if (k >= n) return end;
  const void* found = std::memchr(p + k, chSep, n - k);
  return found ? static_cast<const char*>(found) : end;
}

class CNameValueFieldCursor {
 public:
  CNameValueFieldCursor(std::string_view text, char chSep) : m_text(text), m_sep(chSep) {}

  // Field 0. Its end is kept for the first Next.
  std::string_view Current() const {
    const size_t end = Find(0);
    if (m_pos == 0) {
      m_end = end;
      m_bEndKnown = true;
    }
    return m_text.substr(0, end);
  }

  // The field after the current one; empty after the last and from then on.
  std::string_view Next() {
    if (m_pos > m_text.size()) return {};
    // The end of the current field is known unless this is the first step.
    const size_t sep = m_bEndKnown ? m_end : Find(m_pos);
    if (sep == std::string_view::npos) {
      m_pos = m_text.size() + 1;
      return {};
    }
    m_pos = sep + 1;
    m_end = Find(m_pos);
    m_bEndKnown = true;
    return m_text.substr(m_pos, m_end == std::string_view::npos ? std::string_view::npos : m_end - m_pos);
  }

 private:
  // The next separator from nFrom on, or npos.
  size_t Find(size_t nFrom) const {
    const char* p = m_text.data();
    const char* end = p + m_text.size();
    const char* found = NameValueFindSeparator(p + nFrom, end, m_sep);
    return found == end ? std::string_view::npos : static_cast<size_t>(found - p);
  }

  std::string_view m_text;
  char m_sep;
  size_t m_pos = 0;              // start of the current field
  mutable size_t m_end = 0;      // separator after the current field, when known
  mutable bool m_bEndKnown = false;
};

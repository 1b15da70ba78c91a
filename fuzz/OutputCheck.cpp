#include "OutputCheck.h"

namespace {
class CJsonChecker {
 public:
  explicit CJsonChecker(std::string_view text) : m_text(text) {}

  bool Check() {
    SkipSpace();
    if (!Value(0)) return false;
    SkipSpace();
    return m_pos == m_text.size();
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool AtEnd() const { return m_pos >= m_text.size(); }
  unsigned char Peek() const { return AtEnd() ? 0 : static_cast<unsigned char>(m_text[m_pos]); }
  bool Take(char c) {
    if (AtEnd() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++m_pos;
  }
  bool Literal(std::string_view word) {
    if (m_text.substr(m_pos, word.size()) != word) return false;
    m_pos += word.size();
    return true;
  }

  bool Value(int depth) {
    if (depth >= kMaxDepth) return false;
    switch (Peek()) {
      case '{': return Object(depth);
      case '[': return Array(depth);
      case '"': return String();
      case 't': return Literal("true");
      case 'f': return Literal("false");
      case 'n': return Literal("null");
      default: return Number();
    }
  }

  bool Object(int depth) {
    Take('{');
    SkipSpace();
    if (Take('}')) return true;
    do {
      SkipSpace();
      if (Peek() != '"' || !String()) return false;
      SkipSpace();
      if (!Take(':')) return false;
      SkipSpace();
      if (!Value(depth + 1)) return false;
      SkipSpace();
    } while (Take(','));
    return Take('}');
  }

  bool Array(int depth) {
    Take('[');
    SkipSpace();
    if (Take(']')) return true;
    do {
      SkipSpace();
      if (!Value(depth + 1)) return false;
      SkipSpace();
    } while (Take(','));
    return Take(']');
  }

  bool Digits() {
    const size_t start = m_pos;
    while (Peek() >= '0' && Peek() <= '9') ++m_pos;
    return m_pos > start;
  }

  bool Number() {
    Take('-');
    if (Take('0')) {
      if (Peek() >= '0' && Peek() <= '9') return false;  // a leading zero
    } else if (!Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if (Peek() == 'e' || Peek() == 'E') {
      ++m_pos;
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    return true;
  }

  bool Hex4() {
    for (int i = 0; i < 4; ++i, ++m_pos) {
      const unsigned char c = Peek();
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
  }

  // One UTF-8 sequence of two to four bytes, without overlong forms,
  // surrogates or values beyond U+10FFFF.
  bool Utf8() {
    const unsigned char c = Peek();
    const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || m_pos + n > m_text.size()) return false;
    const auto c1 = static_cast<unsigned char>(m_text[m_pos + 1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
      return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(m_text[m_pos + k]) & 0xC0) != 0x80) return false;
    m_pos += n;
    return true;
  }

  bool String() {
    Take('"');
    while (!AtEnd()) {
      const unsigned char c = Peek();
      if (c == '"') {
        ++m_pos;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        if (!Utf8()) return false;
        continue;
      }
      ++m_pos;
      if (c != '\\') continue;
      const unsigned char e = Peek();
      ++m_pos;
      if (e == 'u') {
        if (!Hex4()) return false;
      } else if (e != '"' && e != '\\' && e != '/' && e != 'b' && e != 'f' && e != 'n' && e != 'r' && e != 't') {
        return false;
      }
    }
    return false;
  }

  std::string_view m_text;
  size_t m_pos = 0;
};
}  // namespace

bool IsStrictJson(std::string_view text) { return CJsonChecker(text).Check(); }

bool IsCsvRecords(std::string_view text, size_t nFields, size_t& nRecords) {
  nRecords = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t fields = 0;
    for (;;) {
      ++fields;
      if (i < text.size() && text[i] == '"') {
        // A quoted field: up to the double quote not doubled.
        for (++i;; ++i) {
          if (i >= text.size()) return false;
          if (text[i] != '"') continue;
          if (i + 1 < text.size() && text[i + 1] == '"') {
            ++i;
            continue;
          }
          ++i;
          break;
        }
      } else {
        while (i < text.size() && text[i] != ',' && text[i] != '\n') {
          if (text[i] == '"' || text[i] == '\r') return false;
          ++i;
        }
      }
      if (i >= text.size()) return false;  // every record ends with LF
      if (text[i++] == '\n') break;
      if (text[i - 1] != ',') return false;
    }
    if (fields != nFields) return false;
    ++nRecords;
  }
  return true;
}

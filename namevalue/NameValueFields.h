// Field iteration over a text without copies: the same fields as the host's
// zuCStringGetFieldIterate (field 0) and zuCStringGetNextFieldIterate (each
// following field), as views into the text.
#pragma once

#include <string_view>

class CNameValueFieldCursor {
 public:
  CNameValueFieldCursor(std::string_view text, char chSep) : m_text(text), m_sep(chSep) {}

  // Field 0.
  std::string_view Current() const {
    size_t end = m_text.find(m_sep);
    return m_text.substr(0, end);
  }

  // The field after the current one; empty after the last and from then on.
  std::string_view Next() {
    if (m_pos > m_text.size()) return {};
    size_t sep = m_text.find(m_sep, m_pos);
    if (sep == std::string_view::npos) {
      m_pos = m_text.size() + 1;
      return {};
    }
    m_pos = sep + 1;
    size_t end = m_text.find(m_sep, m_pos);
    return m_text.substr(m_pos, end == std::string_view::npos ? std::string_view::npos : end - m_pos);
  }

 private:
  std::string_view m_text;
  char m_sep;
  size_t m_pos = 0;
};

// An 8-bit, byte-for-byte string with the MFC CString operations that the
// plug-in and the host use. Positions and lengths are ints, as in MFC; every
// operation clamps its arguments so that no call reads outside the text.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>
#include <string_view>

#include "afxtypes.h"

class CString {
 public:
  CString() = default;
  CString(const char* psz) : m_str(psz ? psz : "") {}
  CString(const char* p, int n) : m_str(p, n > 0 ? static_cast<size_t>(n) : 0) {}
  CString(std::string s) : m_str(std::move(s)) {}
  CString(std::string_view s) : m_str(s) {}

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  // NUL for a position outside the text, as at the terminator.
  char GetAt(int i) const {
    return i >= 0 && static_cast<size_t>(i) < m_str.size() ? m_str[static_cast<size_t>(i)] : '\0';
  }
  char operator[](int i) const { return GetAt(i); }
  operator const char*() const { return m_str.c_str(); }
  const char* GetString() const { return m_str.c_str(); }

  // -1 when absent or when nStart lies outside the text.
  int Find(char ch, int nStart = 0) const;
  int Find(const char* pszSub, int nStart = 0) const;
  int ReverseFind(char ch) const;

  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;

  // Trimming removes the given character only (a blank by default): log texts
  // keep their tabs and other white space.
  CString& TrimLeft(char ch = ' ');
  CString& TrimRight(char ch = ' ');
  CString& Trim(char ch = ' ') { return TrimRight(ch).TrimLeft(ch); }

  void Format(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
  void AppendFormat(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* pszFormat, va_list args);
  void AppendFormatV(const char* pszFormat, va_list args);

  CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
  CString& operator+=(const char* psz) { if (psz) m_str += psz; return *this; }
  CString& operator+=(char ch) { m_str += ch; return *this; }
  void Append(const char* p, int n) { if (p && n > 0) m_str.append(p, static_cast<size_t>(n)); }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
  friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
  friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }

  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

  // Direct access for host code that works on standard strings.
  const std::string& str() const { return m_str; }
  std::string& str() { return m_str; }
  std::string_view view() const { return m_str; }

 private:
  std::string m_str;
};

// A growable array of strings.
class CStringArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  int Add(const CString& s) { m_items.push_back(s); return GetSize() - 1; }
  void RemoveAll() { m_items.clear(); }
  const CString& GetAt(int i) const { return m_items[static_cast<size_t>(i)]; }
  const CString& operator[](int i) const { return GetAt(i); }
  CString& operator[](int i) { return m_items[static_cast<size_t>(i)]; }

 private:
  std::vector<CString> m_items;
};

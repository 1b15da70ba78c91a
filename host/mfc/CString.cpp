#include "CString.h"

#include <algorithm>
#include <cstdio>

namespace {
size_t Clamp(int n, size_t size) {
  if (n < 0) return 0;
  return std::min(static_cast<size_t>(n), size);
}
}  // namespace

int CString::Find(char ch, int nStart) const {
  if (nStart < 0 || static_cast<size_t>(nStart) > m_str.size()) return -1;
  size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* pszSub, int nStart) const {
  if (!pszSub || nStart < 0 || static_cast<size_t>(nStart) > m_str.size()) return -1;
  size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
  size_t pos = m_str.rfind(ch);
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
  size_t first = Clamp(nFirst, m_str.size());
  size_t count = Clamp(nCount, m_str.size() - first);
  return CString(m_str.substr(first, count));
}

CString CString::Left(int nCount) const { return CString(m_str.substr(0, Clamp(nCount, m_str.size()))); }

CString CString::Right(int nCount) const {
  size_t count = Clamp(nCount, m_str.size());
  return CString(m_str.substr(m_str.size() - count));
}

CString& CString::TrimLeft(char ch) {
  size_t first = m_str.find_first_not_of(ch);
  m_str.erase(0, first == std::string::npos ? m_str.size() : first);
  return *this;
}

CString& CString::TrimRight(char ch) {
  size_t last = m_str.find_last_not_of(ch);
  m_str.erase(last == std::string::npos ? 0 : last + 1);
  return *this;
}

void CString::Format(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  FormatV(pszFormat, args);
  va_end(args);
}

void CString::AppendFormat(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  AppendFormatV(pszFormat, args);
  va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args) {
  m_str.clear();
  AppendFormatV(pszFormat, args);
}

void CString::AppendFormatV(const char* pszFormat, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, pszFormat, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    m_str.append(small, static_cast<size_t>(n));
    return;
  }
  size_t old = m_str.size();
  m_str.resize(old + static_cast<size_t>(n) + 1);
  std::vsnprintf(m_str.data() + old, static_cast<size_t>(n) + 1, pszFormat, args);
  m_str.resize(old + static_cast<size_t>(n));
}

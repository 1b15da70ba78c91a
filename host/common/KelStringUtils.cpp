#include "KelStringUtils.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "RolRetc.h"

namespace {
// The next chSep in text from nFrom on, or npos. Fields are mostly a few
// characters long: the first ones are looked at in place, before a call.
size_t FindSeparator(std::string_view text, char chSep, size_t nFrom) {
  constexpr size_t kInline = 16;
  const size_t nInlineEnd = std::min(nFrom + kInline, text.size());
  for (size_t i = nFrom; i < nInlineEnd; ++i)
    if (text[i] == chSep) return i;
  if (nInlineEnd >= text.size()) return std::string_view::npos;
  const void* p = std::memchr(text.data() + nInlineEnd, chSep, text.size() - nInlineEnd);
  return p ? static_cast<size_t>(static_cast<const char*>(p) - text.data()) : std::string_view::npos;
}
}  // namespace

int zuCStringGetLine(CStdioFile& file, CString& strLine, int /*nMaxLen*/) {
  if (file.ReadString(strLine)) return ROL_OK;
  if (file.LineTooLong()) return ROL_LINE_TOO_LONG;
  return file.HadError() ? ROL_READ_ERROR : ROL_END_OF_FILE;
}

void zuCStringGetFieldIterate(const CString& strText, int nField, char chSep, CString& strOut) {
  strOut.Empty();
  if (nField < 0) return;
  std::string_view text = strText.view();
  size_t start = 0;
  for (int i = 0; i < nField; ++i) {
    size_t sep = FindSeparator(text, chSep, start);
    if (sep == std::string_view::npos) return;
    start = sep + 1;
  }
  size_t end = FindSeparator(text, chSep, start);
  strOut = CString(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

void zuCStringGetNextFieldIterate(const CString& strText, int& nPos, char chSep, CString& strOut) {
  strOut.Empty();
  std::string_view text = strText.view();
  if (nPos < 0 || static_cast<size_t>(nPos) > text.size()) return;
  size_t sep = FindSeparator(text, chSep, static_cast<size_t>(nPos));
  if (sep == std::string_view::npos) {
    nPos = strText.GetLength() + 1;  // past the last field: every later call is empty
    return;
  }
  size_t start = sep + 1;
  nPos = static_cast<int>(start);
  size_t end = FindSeparator(text, chSep, start);
  strOut = CString(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

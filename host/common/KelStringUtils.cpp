#include "KelStringUtils.h"

#include <string_view>

#include "RolRetc.h"

int zuCStringGetLine(CStdioFile& file, CString& strLine, int /*nMaxLen*/) {
  if (file.ReadString(strLine)) return ROL_OK;
  return file.HadError() ? ROL_READ_ERROR : ROL_END_OF_FILE;
}

void zuCStringGetFieldIterate(const CString& strText, int nField, char chSep, CString& strOut) {
  strOut.Empty();
  if (nField < 0) return;
  std::string_view text = strText.view();
  size_t start = 0;
  for (int i = 0; i < nField; ++i) {
    size_t sep = text.find(chSep, start);
    if (sep == std::string_view::npos) return;
    start = sep + 1;
  }
  size_t end = text.find(chSep, start);
  strOut = CString(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

void zuCStringGetNextFieldIterate(const CString& strText, int& nPos, char chSep, CString& strOut) {
  strOut.Empty();
  std::string_view text = strText.view();
  if (nPos < 0 || static_cast<size_t>(nPos) > text.size()) return;
  size_t sep = text.find(chSep, static_cast<size_t>(nPos));
  if (sep == std::string_view::npos) {
    nPos = strText.GetLength() + 1;  // past the last field: every later call is empty
    return;
  }
  size_t start = sep + 1;
  nPos = static_cast<int>(start);
  size_t end = text.find(chSep, start);
  strOut = CString(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

#include "HytemGenArguments.h"

#include <cstdlib>

bool ParseHytemGenShape(std::string_view shape, HytemGenShape& result) {
  if (shape == "survey") result = HytemGenShape::kSurvey;
  else if (shape == "fixed") result = HytemGenShape::kFixed;
  else return false;
  return true;
}

namespace {
int DaysInMonth(int nYear, int nMonth) {
  static const int s_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
  return s_days[nMonth - 1] + (nMonth == 2 && bLeap ? 1 : 0);
}

// The n decimal digits at nPos of text, or -1 when they are not all digits.
int Digits(std::string_view text, size_t nPos, size_t n) {
  if (nPos + n > text.size()) return -1;
  int nValue = 0;
  for (size_t i = nPos; i < nPos + n; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    nValue = nValue * 10 + (text[i] - '0');
  }
  return nValue;
}
}  // namespace

bool ParseHytemGenStart(const char* psz, HytemGenOptions& options) {
  const std::string_view text = psz;
  // YYYY-MM-DDTHH:MM:SS, the separators where they belong.
  static constexpr std::string_view kForm = "0000-00-00T00:00:00";
  if (text.size() != 10 && text.size() != 16 && text.size() != 19) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (kForm[i] != '0' && text[i] != kForm[i]) return false;
  const int nYear = Digits(text, 0, 4), nMonth = Digits(text, 5, 2), nDay = Digits(text, 8, 2);
  const int nHour = text.size() > 10 ? Digits(text, 11, 2) : 0;
  const int nMinute = text.size() > 10 ? Digits(text, 14, 2) : 0;
  const int nSecond = text.size() > 16 ? Digits(text, 17, 2) : 0;
  if (nYear < 1969 || nYear > 2068 || nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > DaysInMonth(nYear, nMonth) ||
      nHour < 0 || nHour > 23 || nMinute < 0 || nMinute > 59 || nSecond < 0 || nSecond > 59)
    return false;
  options.nStartYear = nYear;
  options.nStartMonth = nMonth;
  options.nStartDay = nDay;
  options.nStartMsOfDay = ((nHour * 60 + nMinute) * 60 + nSecond) * 1000;
  return true;
}

bool ParseHytemGenOrigin(const char* psz, HytemGenOptions& options) {
  char* end = nullptr;
  const double dLatitude = std::strtod(psz, &end);
  if (end == psz || *end != ',') return false;
  const char* pszLongitude = end + 1;
  const double dLongitude = std::strtod(pszLongitude, &end);
  if (end == pszLongitude || *end != '\0') return false;
  if (!(dLatitude >= -89.0 && dLatitude <= 89.0 && dLongitude >= -180.0 && dLongitude <= 180.0)) return false;
  options.dOriginLatitude = dLatitude;
  options.dOriginLongitude = dLongitude;
  return true;
}


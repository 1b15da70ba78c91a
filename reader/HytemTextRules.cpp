// The text rules of a HYTEM log's fields: header-line splitting, dates,
// times of day (with the repeat offset) and coordinates. Numbers are read as
// the C library's atoi and atof read them (NameValueReadInt and
// NameValueReadDouble give their results, faster): leading part of the text,
// 0 when nothing is readable, no range check.
#include <climits>
#include <cstdlib>

#include "DataFileHsLogHYTEM.h"
#include "HytemArithmetic.h"
#include "NameValueNumbers.h"

namespace {

// The digits after a coordinate's point are minutes / 100: 0.30 is 30 minutes.
constexpr double kDegreesPerMinuteHundredth = 1.6666666666666667;  // 100 / 60

bool IsDecimalDigit(char ch) { return ch >= '0' && ch <= '9'; }

// atoi of at most nCount characters from nFirst; a text that ends earlier
// reads as what is there.
int IntValueAt(const CString& strText, int nFirst, int nCount) {
  return std::atoi(strText.Mid(nFirst, nCount));
}

// atoi of the two characters a and b.
int IntValueOfPair(char a, char b) {
  const char pair[3] = {a, b, '\0'};
  return NameValueReadInt(pair);
}

// A date's two-digit year: 69 to 99 are 1969 to 1999, 00 to 68 are 2000 to
// 2068 (the POSIX rule). Values that no two digits give stay in the 1900s.
int YearFromTwoDigits(int nYear) { return nYear >= 0 && nYear <= 68 ? 2000 + nYear : 1900 + nYear; }

bool ParseCoordinate(const CString& strCoord, const CString& strHemisphere, char chNegative, double& dValue) {
  const int nPoint = strCoord.Find('.');
  if (nPoint <= 0) return false;
  const double dDegrees = NameValueReadDouble(strCoord.view().substr(0, static_cast<size_t>(nPoint)));
  const double dMinuteHundredths = NameValueReadDouble(strCoord.GetString() + nPoint);  // ".3000" reads as 0.3
  double dDegreesDecimal = dDegrees + dMinuteHundredths * kDegreesPerMinuteHundredth;
  if (strHemisphere.Find(chNegative) >= 0) dDegreesDecimal = -dDegreesDecimal;
  dValue = dDegreesDecimal;
  return true;
}

}  // namespace

int CDataFileHsLogHYTEM::SplitNameValue(CString strLine, CString strSeparator, CString& strName,
                                        CString& strValue) {
  if (strLine.IsEmpty()) return 1;
  const int nSep = strLine.Find(strSeparator);
  if (nSep < 0) return 1;
  // Header lines are written "name = value": the character before the
  // separator is taken as its padding and dropped with it.
  strName = strLine.Left(nSep - 1);
  strName.TrimRight(' ');
  strValue = strLine.Mid(nSep + strSeparator.GetLength());
  strValue.TrimLeft(' ');
  return 0;
}

int CDataFileHsLogHYTEM::ParseDate(const CString& strDate, CVyrMilliSecAbsTime& date) {
  // Day and year stand at fixed offsets after the first separator, so the
  // day always has two digits: 3/07/05, 12-31-2004.
  int nYear = 0;
  int nSep = strDate.Find('/');
  if (nSep > 0) {
    nYear = YearFromTwoDigits(IntValueAt(strDate, nSep + 4, 2));
  } else {
    nSep = strDate.Find('-');
    if (nSep <= 0) return 1;
    nYear = IntValueAt(strDate, nSep + 4, 4);
  }
  const int nMonth = std::atoi(strDate.Left(nSep));
  const int nDay = IntValueAt(strDate, nSep + 1, 2);
  date = CVyrMilliSecAbsTime(nYear, nMonth, nDay, 0, 0, 0);
  return 0;
}

int CDataFileHsLogHYTEM::ParseTimeOfDay(const CString& strTime, std::int64_t& nTimeWithinDay) {
  const int nLen = strTime.GetLength();
  if (nLen < 3 || !IsDecimalDigit(strTime[0]) || !IsDecimalDigit(strTime[1])) return 1;

  // Short forms lack the hours ("MM:SS.f") or hours and minutes ("SS.f");
  // they are completed to the full form with one more fraction digit.
  CString strCompleted;
  const CString* pFull = &strTime;
  if (nLen < 8) {
    strCompleted = CString(nLen >= 5 ? "00:" : "00:00:") + strTime + "0";
    pFull = &strCompleted;
  }
  const char* pszFull = pFull->GetString();  // at least 8 characters
  const int nHours = IntValueOfPair(pszFull[0], pszFull[1]);
  const int nMinutes = IntValueOfPair(pszFull[3], pszFull[4]);
  const char* pszSeconds = pszFull + 6;
  const int nWholeSeconds = NameValueReadInt(pszSeconds);
  const std::int64_t nMilliseconds =
      hytem::TruncToInt64((NameValueReadDouble(pszSeconds) - nWholeSeconds) * 1000.0);
  const std::int64_t nWholeMs =
      (static_cast<std::int64_t>(nHours) * 3600 + static_cast<std::int64_t>(nMinutes) * 60 + nWholeSeconds) * 1000;
  const std::int64_t nTime = hytem::SaturatingAdd(nWholeMs, nMilliseconds);

  // Lines that do not advance the latest time (several measurements within
  // one logged second, or a day wrap) are spread out by the header's delay.
  const double dSeconds = static_cast<double>(nTime) * 0.001;
  if (dSeconds > m_dLatestTimeOfDay) {
    m_dLatestTimeOfDay = dSeconds;
    m_nRepeatCount = 0;
  } else if (m_nRepeatCount < INT32_MAX) {
    ++m_nRepeatCount;
  }
  const std::int64_t nOffset = hytem::TruncToInt64(static_cast<double>(m_nRepeatCount) *
                                                   static_cast<double>(m_delayBetweenMeasurement));
  nTimeWithinDay = hytem::SaturatingAdd(nTime, nOffset);
  return 0;
}

bool CDataFileHsLogHYTEM::ParseLatitude(const CString& strLatitude, const CString& strNS, double& dLatitude) {
  return ParseCoordinate(strLatitude, strNS, 'S', dLatitude);
}

bool CDataFileHsLogHYTEM::ParseLongitude(const CString& strLongitude, const CString& strWE, double& dLongitude) {
  return ParseCoordinate(strLongitude, strWE, 'W', dLongitude);
}

// The field rules of a HYTEM log: header-line splitting, dates, times of day
// and coordinates.
#include <cstdint>
#include <limits>

#include "HytemTestSupport.h"

namespace {

using Reader = CDataFileHsLogHYTEM;

struct SplitCase {
  const char* pszLine;
  const char* pszSeparator;
  int nResult;
  const char* pszName;
  const char* pszValue;
};

TEST(SplitNameValue, SplitsAtTheFirstSeparatorAndDropsTheCharacterBeforeIt) {
  const SplitCase cases[] = {
      {"abc=1", "=", 0, "ab", "1"},  // no blank before "=": the name loses its "c"
      {"abc = 1", "=", 0, "abc", "1"},
      {"=", "=", 0, "", ""},
      {"=7", "=", 0, "", "7"},
      {"a = b = c", "=", 0, "a", "b = c"},
      {"name   =   value  ", "=", 0, "name", "value  "},  // only leading blanks leave the value
      {"key\t = v", "=", 0, "key\t", "v"},                // tabs are never trimmed
      {"HYTEM Software - V2 - beta", "-", 0, "HYTEM Software", "V2 - beta"},
      {"HYTEM Software -", "-", 0, "HYTEM Software", ""},
  };
  for (const SplitCase& c : cases) {
    CString name("old name");
    CString value("old value");
    EXPECT_EQ(c.nResult, Reader::SplitNameValue(c.pszLine, c.pszSeparator, name, value)) << c.pszLine;
    EXPECT_EQ(c.pszName, name.str()) << c.pszLine;
    EXPECT_EQ(c.pszValue, value.str()) << c.pszLine;
  }
}

TEST(SplitNameValue, EmptyLineOrNoSeparatorLeavesTheOutputs) {
  for (const char* pszLine : {"", "Time\tDate\tLevels", "HYTEM Software V3"}) {
    CString name("old name");
    CString value("old value");
    EXPECT_EQ(1, Reader::SplitNameValue(pszLine, "=", name, value)) << pszLine;
    EXPECT_EQ("old name", name.str());
    EXPECT_EQ("old value", value.str());
  }
}

struct DateCase {
  const char* pszText;
  const char* pszMidnight;  // ISO form of the date read
};

TEST(ParseDate, ReadsSlashAndDashForms) {
  const DateCase cases[] = {
      {"12/31/99", "1999-12-31T00:00:00.000"},
      {"1/05/99", "1999-01-05T00:00:00.000"},
      {"3/07/05", "2005-03-07T00:00:00.000"},
      {"03/15/05", "2005-03-15T00:00:00.000"},
      {"12-31-1999", "1999-12-31T00:00:00.000"},
      {"12-31-2004", "2004-12-31T00:00:00.000"},
      {"6-01-2010 extra", "2010-06-01T00:00:00.000"},  // four characters of year, the rest ignored
      {"12-31-99", "0099-12-31T00:00:00.000"},         // a dash date's year is taken as written
  };
  for (const DateCase& c : cases) {
    CVyrMilliSecAbsTime date;
    EXPECT_EQ(0, Reader::ParseDate(c.pszText, date)) << c.pszText;
    EXPECT_EQ(c.pszMidnight, date.FormatIso8601()) << c.pszText;
  }
}

TEST(ParseDate, TwoDigitYearsFollowThePosixRule) {
  const DateCase cases[] = {
      {"01/01/00", "2000-01-01T00:00:00.000"}, {"01/01/68", "2068-01-01T00:00:00.000"},
      {"01/01/69", "1969-01-01T00:00:00.000"}, {"01/01/99", "1999-01-01T00:00:00.000"},
      {"01/01/-5", "1895-01-01T00:00:00.000"},  // no two digits: stays in the 1900s
  };
  for (const DateCase& c : cases) {
    CVyrMilliSecAbsTime date;
    EXPECT_EQ(0, Reader::ParseDate(c.pszText, date)) << c.pszText;
    EXPECT_EQ(c.pszMidnight, date.FormatIso8601()) << c.pszText;
  }
}

TEST(ParseDate, ShortTextsReadOnlyWhatIsThere) {
  const DateCase cases[] = {
      {"12/31/9", "2009-12-31T00:00:00.000"},  // one year digit
      {"12/3", "2000-12-03T00:00:00.000"},     // no year: 00
      {"12/", "2000-11-30T00:00:00.000"},      // day 0 rolls back to the last of November
      {"7-04", "0000-07-04T00:00:00.000"},     // no year at all
  };
  for (const DateCase& c : cases) {
    CVyrMilliSecAbsTime date;
    EXPECT_EQ(0, Reader::ParseDate(c.pszText, date)) << c.pszText;
    EXPECT_EQ(c.pszMidnight, date.FormatIso8601()) << c.pszText;
  }
}

TEST(ParseDate, RefusesTextsWithoutASeparatorAfterTheFirstCharacter) {
  for (const char* pszText : {"12.31.99", "/12/99", "-12-99", "", "20050315"}) {
    CVyrMilliSecAbsTime date;
    date.SetMs(42);
    EXPECT_EQ(1, Reader::ParseDate(pszText, date)) << pszText;
    EXPECT_EQ(42, date.GetMs()) << pszText;
  }
}

struct TimeCase {
  const char* pszText;
  std::int64_t nMs;
};

TEST(ParseTimeOfDay, ConvertsFullAndShortForms) {
  const TimeCase cases[] = {
      {"12:00:01", 43201000},
      {"00:00:00", 0},
      {"01:02:03.5", 3723500},
      {"23:59:59.999", 86399999},
      {"00:00:01.001", 1000},   // 1.001 is stored just below itself: truncated to 0 ms
      {"00:00:01.9", 1899},     // 0.9 x 1000 lies just below 900
      {"10:61:75", 39735000},   // no range check: 36000 + 3660 + 75 s
      {"12:00:-1.5", 43198500}, // -1 s and -500 ms
      {"34:56.7", 2096700},     // 00:34:56.70
      {"12.3", 12300},          // 00:00:12.30
      {"123", 1230000},         // 00:00:1230: 1230 seconds
      {"12:3", 12000},          // 00:00:12:30: the seconds stop at the colon
      {"00:00:0", 0},           // 00:00:00:00, the text of a log without a Time column
  };
  for (const TimeCase& c : cases) {
    CTestableHytemReader reader;  // delay 0: no repeat offset
    std::int64_t nMs = -1;
    EXPECT_EQ(0, reader.ParseTimeOfDay(c.pszText, nMs)) << c.pszText;
    EXPECT_EQ(c.nMs, nMs) << c.pszText;
  }
}

TEST(ParseTimeOfDay, RefusesShortTextsAndTextsNotStartingWithTwoDigits) {
  for (const char* pszText : {"", "1", "12", " 1:00:00", "1a:00:00", "a1:00:00", "-1:00:00"}) {
    CTestableHytemReader reader;
    reader.m_delayBetweenMeasurement = 500;
    std::int64_t nMs = 77;
    EXPECT_EQ(1, reader.ParseTimeOfDay(pszText, nMs)) << pszText;
    EXPECT_EQ(77, nMs) << pszText;
    EXPECT_EQ(0, reader.m_nRepeatCount) << pszText;  // a refused text is no repeat
    EXPECT_EQ(0.0, reader.m_dLatestTimeOfDay) << pszText;
  }
}

TEST(ParseTimeOfDay, AbsurdSecondsSaturateInsteadOfOverflowing) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const TimeCase cases[] = {
      {"12:00:1e300", kMax},
      {"12:00:inf", kMax},
      {"12:00:-1e300", std::numeric_limits<std::int64_t>::min() + 43199000},  // -1 s; ms saturate low
      {"12:00:nan", 43200000},  // no readable fraction
  };
  for (const TimeCase& c : cases) {
    CTestableHytemReader reader;
    std::int64_t nMs = 0;
    EXPECT_EQ(0, reader.ParseTimeOfDay(c.pszText, nMs)) << c.pszText;
    EXPECT_EQ(c.nMs, nMs) << c.pszText;
  }
}

struct CoordinateCase {
  const char* pszCoord;
  const char* pszHemisphere;
  double dDegrees;
};

TEST(ParseLatitude, ReadsDegreesAndMinuteHundredthsAndTheSouthLetter) {
  const CoordinateCase cases[] = {
      {"48.3000", "N", 48.5},           // 48 deg 30.00 min
      {"48.3000", "S", -48.5},
      {"48.3000", "South", -48.5},      // any upper-case S
      {"48.3000", "s", 48.5},           // lower case is not south
      {"48.3000", "W", 48.5},           // W is a longitude letter
      {"48.3000", "", 48.5},
      {"48.5112", "N", 48 + 51.12 / 60},
      {"4830.00", "N", 4830.0},         // degrees before the point, whatever their size
      {"-48.3000", "N", -47.5},         // the minus belongs to the degrees only
      {"0.0745", "N", 7.45 / 60},
      {"48.3000xyz", "N", 48.5},
  };
  for (const CoordinateCase& c : cases) {
    double d = 0.0;
    EXPECT_TRUE(Reader::ParseLatitude(c.pszCoord, c.pszHemisphere, d)) << c.pszCoord << " " << c.pszHemisphere;
    EXPECT_NEAR(c.dDegrees, d, 1e-12) << c.pszCoord << " " << c.pszHemisphere;
  }
}

TEST(ParseLongitude, ReadsDegreesAndMinuteHundredthsAndTheWestLetter) {
  const CoordinateCase cases[] = {
      {"2.2050", "E", 2 + 20.5 / 60},
      {"2.2050", "W", -(2 + 20.5 / 60)},
      {"2.2050", "West", -(2 + 20.5 / 60)},
      {"2.2050", "w", 2 + 20.5 / 60},
      {"2.2050", "S", 2 + 20.5 / 60},  // S is a latitude letter
      {"151.1245", "E", 151 + 12.45 / 60},
  };
  for (const CoordinateCase& c : cases) {
    double d = 0.0;
    EXPECT_TRUE(Reader::ParseLongitude(c.pszCoord, c.pszHemisphere, d)) << c.pszCoord << " " << c.pszHemisphere;
    EXPECT_NEAR(c.dDegrees, d, 1e-12) << c.pszCoord << " " << c.pszHemisphere;
  }
}

TEST(ParseCoordinates, RefuseTextsWithoutAPointOrStartingWithIt) {
  for (const char* pszCoord : {".5", "4830", "", ".", "N"}) {
    double dLatitude = -10000.0;
    double dLongitude = -10000.0;
    EXPECT_FALSE(Reader::ParseLatitude(pszCoord, "S", dLatitude)) << pszCoord;
    EXPECT_FALSE(Reader::ParseLongitude(pszCoord, "W", dLongitude)) << pszCoord;
    EXPECT_EQ(-10000.0, dLatitude);
    EXPECT_EQ(-10000.0, dLongitude);
  }
}

}  // namespace

// Reader set-up: the result codes of ReadFileHeader, the start time and
// stream handed to the host, the column list, and the repeat offset.
#include "HytemTestSupport.h"

namespace {

const std::string kSoftware = "HYTEM Software - V2.4.1";
const std::string kColumns = Tabbed({"Time", "Date", "BandNumber", "Levels"});

struct BadLogCase {
  const char* pszWhat;
  std::string text;
  RolRetc nResult;
};

TEST(ReadFileHeader, RefusesBadLogsWithTheirCodes) {
  const BadLogCase cases[] = {
      {"empty file", "", CDataFileHsLogHYTEM::kRcLineMissing},
      {"software line only", Lines({kSoftware}), CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"header block without column line", Lines({kSoftware, "a = 1", "delayBetweenMeasurement = 500"}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"no measurement line", Lines({kSoftware, "a = 1", kColumns}), CDataFileHsLogHYTEM::kRcLineMissing},
      {"marker in other letter case", Lines({"hytem software - V2", kColumns, Tabbed({"12:00:01", "03/15/05"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"marker only on the second line",
       Lines({"Scanner log", kSoftware, kColumns, Tabbed({"12:00:01", "03/15/05"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"no Date column", Lines({kSoftware, Tabbed({"Time", "Levels"}), Tabbed({"12:00:01", "-80"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"no Time column", Lines({kSoftware, Tabbed({"Date", "Levels"}), Tabbed({"03/15/05", "-80"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"time column in lower case", Lines({kSoftware, Tabbed({"time", "Date"}), Tabbed({"12:00:01", "03/15/05"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"unreadable first time", Lines({kSoftware, kColumns, Tabbed({"ab:cd:ef", "03/15/05", "1", "-80"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"unreadable first date", Lines({kSoftware, kColumns, Tabbed({"12:00:01", "15.03.05", "1", "-80"})}),
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"empty first measurement line", Lines({kSoftware, kColumns, ""}), CDataFileHsLogHYTEM::kRcNotHytemLog},
      // The last field of a line without its line end is not read.
      {"only measurement line cut inside its time", Lines({kSoftware, Tabbed({"Date", "Time"})}) + "03/15/05\t12:0",
       CDataFileHsLogHYTEM::kRcNotHytemLog},
      {"only measurement line cut inside its date", Lines({kSoftware, Tabbed({"Time", "Date"})}) + "12:00:01\t03/15/0",
       CDataFileHsLogHYTEM::kRcNotHytemLog},
  };
  TempDir dir;
  for (const BadLogCase& c : cases) {
    CTestableHytemReader reader;
    EXPECT_EQ(c.nResult, reader.ReadFileHeader(dir.Write("bad.h2m", c.text).c_str())) << c.pszWhat;
    EXPECT_FALSE(reader.GetFileInfo().HasFileStartTime()) << c.pszWhat;
    EXPECT_EQ(0, reader.GetFileInfo().GetStreamCount()) << c.pszWhat;
  }
}

TEST(ReadFileHeader, UnopenableFileGives1001) {
  TempDir dir;
  CTestableHytemReader reader;
  EXPECT_EQ(CDataFileHsLogHYTEM::kRcCannotOpen, reader.ReadFileHeader((dir.Path() + "/missing.h2m").c_str()));
  EXPECT_EQ(CDataFileHsLogHYTEM::kRcCannotOpen, reader.ReadFileHeader(dir.Path().c_str()));  // a folder
}

TEST(ReadFileHeader, SetsStartTimeStreamColumnsAndDelay) {
  TempDir dir;
  const std::string path = dir.Write(
      "ok.h2m", Lines({kSoftware, "nbScannedBandwidths = 1", "delayBetweenMeasurement = 500",
                       Tabbed({"Date", "Latitude", "Time", "NS", "Validity", "Longitude", "WE", "Levels"}),
                       Tabbed({"12/31/99", "48.3000", "23:59:59", "N", "1", "2.2050", "E", "-80"})}));
  CTestableHytemReader reader;
  reader.m_nMsgsSinceStartTime = 9;
  ASSERT_EQ(ROL_OK, reader.ReadFileHeader(path.c_str()));

  const CDataFileInfo& info = reader.GetFileInfo();
  ASSERT_TRUE(info.HasFileStartTime());
  EXPECT_EQ("1999-12-31T23:59:59.000", info.GetFileStartTime().FormatIso8601());
  ASSERT_EQ(1, info.GetStreamCount());
  EXPECT_EQ(115, info.GetStreamInfo(0).m_deviceType.m_nDeviceType);
  EXPECT_EQ(0, info.GetStreamInfo(0).m_nStreamFlags);
  EXPECT_EQ(info.GetFileStartTime().GetMs(), info.GetStreamInfo(0).m_startTime);
  EXPECT_EQ(0, reader.m_nMsgsSinceStartTime);

  EXPECT_EQ(500, reader.m_delayBetweenMeasurement);
  EXPECT_EQ((std::vector<std::string>{"Date", "Latitude", "Time", "NS", "Validity", "Longitude", "WE", "Levels"}),
            reader.ColumnNames());
  EXPECT_EQ(2, reader.m_nTimeCol);
  EXPECT_EQ(0, reader.m_nDateCol);
  EXPECT_EQ(1, reader.m_nLatitudeCol);
  EXPECT_EQ(3, reader.m_nNSCol);
  EXPECT_EQ(4, reader.m_nValidityCol);
  EXPECT_EQ(5, reader.m_nLongitudeCol);
  EXPECT_EQ(6, reader.m_nWECol);
  // The look at the first measurement line leaves the repeat state alone.
  EXPECT_EQ(0.0, reader.m_dLatestTimeOfDay);
  EXPECT_EQ(0, reader.m_nRepeatCount);
}

TEST(ReadFileHeader, FirstLineAtMidnightCountsAsARepeat) {
  TempDir dir;
  const std::string path = dir.Write(
      "midnight.h2m",
      Lines({kSoftware, "delayBetweenMeasurement = 500", kColumns, Tabbed({"00:00:00", "03/15/05", "1", "-80"})}));
  CTestableHytemReader reader;
  ASSERT_EQ(ROL_OK, reader.ReadFileHeader(path.c_str()));
  EXPECT_EQ("2005-03-15T00:00:00.500", reader.GetFileInfo().GetFileStartTime().FormatIso8601());
  EXPECT_EQ(0, reader.m_nRepeatCount);  // as found: message reading counts the line
}

TEST(ReadFileHeader, DelayNeedsTheBlankBeforeTheEqualsSign) {
  TempDir dir;
  const std::string path = dir.Write(
      "nodelay.h2m",
      Lines({kSoftware, "delayBetweenMeasurement=500", kColumns, Tabbed({"00:00:00", "03/15/05", "1", "-80"})}));
  CTestableHytemReader reader;
  ASSERT_EQ(ROL_OK, reader.ReadFileHeader(path.c_str()));
  EXPECT_EQ(0, reader.m_delayBetweenMeasurement);  // the name read is "delayBetweenMeasuremen"
  EXPECT_EQ("2005-03-15T00:00:00.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());
}

TEST(ReadFileHeader, ResetsTheRepeatStateAndDelayOfAnEarlierLoad) {
  TempDir dir;
  const std::string path =
      dir.Write("plain.h2m", Lines({kSoftware, kColumns, Tabbed({"08:00:00", "03/15/05", "1", "-80"})}));
  CTestableHytemReader reader;
  reader.m_delayBetweenMeasurement = 700;
  reader.m_dLatestTimeOfDay = 90000.0;
  reader.m_nRepeatCount = 4;
  ASSERT_EQ(ROL_OK, reader.ReadFileHeader(path.c_str()));
  EXPECT_EQ(0, reader.m_delayBetweenMeasurement);
  EXPECT_EQ(0.0, reader.m_dLatestTimeOfDay);
  EXPECT_EQ(0, reader.m_nRepeatCount);
  EXPECT_EQ("2005-03-15T08:00:00.000", reader.GetFileInfo().GetFileStartTime().FormatIso8601());
}

TEST(LoadDataFile, PassesTheSetUpResultOn) {
  TempDir dir;
  CTestableHytemReader reader;
  RolRetc rc = ROL_OK;
  std::vector<RecordedMessage> messages = LoadAndRecord(reader, dir.Write("one.h2m", Lines({kSoftware})), &rc);
  EXPECT_EQ(CDataFileHsLogHYTEM::kRcNotHytemLog, rc);
  EXPECT_TRUE(messages.empty());
}

TEST(LoadDataFile, EmptiesTheColumnsAndStopsWhenTheFrameworkRefusesThePath) {
  TempDir dir;
  CTestableHytemReader reader;
  LoadAndRecord(reader, dir.Write("ok.h2m", Lines({kSoftware, kColumns, Tabbed({"08:00:00", "03/15/05"})})));
  ASSERT_EQ(4, reader.m_columnNames.GetSize());

  EXPECT_EQ(ROL_INVALID_ARG, reader.LoadDataFile("", ""));
  EXPECT_EQ(0, reader.m_columnNames.GetSize());
  for (std::int32_t nCol : {reader.m_nTimeCol, reader.m_nDateCol, reader.m_nLatitudeCol, reader.m_nLongitudeCol,
                            reader.m_nNSCol, reader.m_nWECol, reader.m_nValidityCol}) {
    EXPECT_EQ(-1, nCol);
  }
}

// Times within day of successive lines for a delay, each case from a fresh
// repeat state.
struct RepeatCase {
  const char* pszWhat;
  std::int64_t nDelay;
  std::vector<const char*> times;
  std::vector<std::int64_t> expectedMs;
};

TEST(RepeatOffset, SpreadsLinesThatDoNotAdvanceTheLatestTime) {
  const RepeatCase cases[] = {
      {"three lines in one second, then the next",
       500,
       {"12:00:01", "12:00:01", "12:00:01", "12:00:02"},
       {43201000, 43201500, 43202000, 43202000}},
      {"an earlier time is a repeat too",
       500,
       {"12:00:05", "12:00:03", "12:00:04", "12:00:06"},
       {43205000, 43203500, 43205000, 43206000}},
      {"a fraction above the latest time resets the count",
       250,
       {"12:00:01", "12:00:01", "12:00:01.5", "12:00:01.5"},
       {43201000, 43201250, 43201500, 43201750}},
      {"midnight is not above the initial latest time", 500, {"00:00:00", "00:00:00"}, {500, 1000}},
      {"past midnight every line repeats until the old latest time is passed",
       1000,
       {"23:59:58", "23:59:59", "00:00:00", "00:00:01", "00:00:02"},
       {86398000, 86399000, 1000, 3000, 5000}},
      {"no delay, no offset", 0, {"12:00:01", "12:00:01", "12:00:00"}, {43201000, 43201000, 43200000}},
      {"a huge delay saturates", 4611686018427387904LL, {"00:00:01", "00:00:01", "00:00:01"},
       {1000, 4611686018427388904LL, 9223372036854775807LL}},
  };
  for (const RepeatCase& c : cases) {
    CTestableHytemReader reader;
    reader.m_delayBetweenMeasurement = c.nDelay;
    std::vector<std::int64_t> actual;
    for (const char* pszTime : c.times) {
      std::int64_t nMs = 0;
      EXPECT_EQ(0, reader.ParseTimeOfDay(pszTime, nMs)) << c.pszWhat;
      actual.push_back(nMs);
    }
    EXPECT_EQ(c.expectedMs, actual) << c.pszWhat;
  }
}

TEST(RepeatOffset, RefusedTimesLeaveTheStateAlone) {
  CTestableHytemReader reader;
  reader.m_delayBetweenMeasurement = 500;
  std::int64_t nMs = 0;
  ASSERT_EQ(0, reader.ParseTimeOfDay("12:00:01", nMs));
  ASSERT_EQ(1, reader.ParseTimeOfDay("xx", nMs));
  ASSERT_EQ(0, reader.ParseTimeOfDay("12:00:01", nMs));
  EXPECT_EQ(43201500, nMs);  // the second accepted line is the first repeat
  EXPECT_EQ(1, reader.m_nRepeatCount);
  EXPECT_EQ(43201.0, reader.m_dLatestTimeOfDay);
}

}  // namespace

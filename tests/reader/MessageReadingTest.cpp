// Message reading: every line becomes one message with its class, time,
// position and name/value payload.
#include "HytemTestSupport.h"
#include "NameValuePayload.h"

namespace {

constexpr double kNone = -10000.0;
const std::string kSoftware = "HYTEM Software - V2.4.1";
const std::string kScanColumns = Tabbed({"Time", "Date", "BandNumber", "Levels"});
const std::string kPositionColumns =
    Tabbed({"Time", "Date", "Latitude", "NS", "Longitude", "WE", "Validity"});

class MessageReading : public ::testing::Test {
 protected:
  // Loads the log as the host does: header message first, then every line
  // from the first measurement line on.
  std::vector<RecordedMessage> Load(const std::string& text) {
    return LoadAndRecord(m_reader, m_dir.Write("log.h2m", text));
  }

  TempDir m_dir;
  CTestableHytemReader m_reader;
};

TEST_F(MessageReading, MeasurementLineFieldsWithTrailingValues) {
  const std::vector<RecordedMessage> messages =
      Load(Lines({kSoftware, kScanColumns, Tabbed({"12:00:01", "03/15/05", "2", "-80", "-82", "-85"})}));
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(306, messages[0].nClass);
  EXPECT_EQ("Software Version^V2.4.1;", messages[0].payload);
  EXPECT_EQ(0, messages[0].nTimeMs);

  const RecordedMessage& m = messages[1];
  EXPECT_EQ(307, m.nClass);
  EXPECT_EQ("Time^Date^BandNumber^Levels^12:00:01;03/15/05;2;-80,-82,-85;", m.payload);
  EXPECT_EQ(0, m.nTimeMs);  // no delay: the repeat of the first line is not shifted
  EXPECT_EQ(kNone, m.dLatitude);
  EXPECT_EQ(kNone, m.dLongitude);
  EXPECT_EQ(50, m.nQuality);  // no Validity column
  EXPECT_EQ(0, m.nFlags);
}

struct FirstGroupCase {
  const char* pszWhat;
  const char* pszDelay;
  std::vector<const char*> times;
  std::vector<std::int64_t> messageTimes;
};

// The set-up's look at the first measurement line leaves the repeat state
// alone: message reading reads that line once, as itself, not as a repeat.
TEST_F(MessageReading, FirstMeasurementIsReadOnceAsItself) {
  const FirstGroupCase cases[] = {
      {"three lines in one second", "500", {"12:00:01", "12:00:01", "12:00:01", "12:00:02"}, {0, 500, 1000, 1000}},
      {"lines with milliseconds", "250", {"12:00:01.000", "12:00:01.250", "12:00:01.500"}, {0, 250, 500}},
      {"a first line at midnight starts one delay late", "500", {"00:00:00", "00:00:00", "00:00:01"}, {0, 500, 500}},
  };
  for (const FirstGroupCase& c : cases) {
    std::string text = Lines({kSoftware, std::string("delayBetweenMeasurement = ") + c.pszDelay, kScanColumns});
    for (const char* pszTime : c.times) text += Tabbed({pszTime, "03/15/05", "1", "-80"}) + "\n";
    CTestableHytemReader reader;
    const std::vector<RecordedMessage> messages = LoadAndRecord(reader, m_dir.Write("group.h2m", text));
    ASSERT_EQ(c.times.size() + 1, messages.size()) << c.pszWhat;
    for (size_t i = 0; i < c.messageTimes.size(); ++i)
      EXPECT_EQ(c.messageTimes[i], messages[i + 1].nTimeMs) << c.pszWhat << ", line " << i;
  }
}

struct PayloadCase {
  const char* pszWhat;
  std::string line;
  std::string payload;
};

TEST_F(MessageReading, ColumnFieldsAndTrailingValues) {
  const PayloadCase cases[] = {
      {"exactly one field per column", Tabbed({"09:00:01", "03/15/05", "1", "-80"}),
       "Time^Date^BandNumber^Levels^09:00:01;03/15/05;1;-80;"},
      {"an empty field ends the trailing values", Tabbed({"09:00:02", "03/15/05", "1", "-80", "-82", "", "-90"}),
       "Time^Date^BandNumber^Levels^09:00:02;03/15/05;1;-80,-82;"},
      {"an empty last column before trailing values", Tabbed({"09:00:03", "03/15/05", "1", "", "-82", "-85"}),
       "Time^Date^BandNumber^Levels^09:00:03;03/15/05;1;,-82,-85;"},
      {"fewer fields than columns", Tabbed({"09:00:04", "03/15/05"}),
       "Time^Date^BandNumber^Levels^09:00:04;03/15/05;;;"},
      {"a tab at the end of the line", Tabbed({"09:00:05", "03/15/05", "1", "-80", "-81", ""}),
       "Time^Date^BandNumber^Levels^09:00:05;03/15/05;1;-80,-81;"},
      {"a blank line", "", "Time^Date^BandNumber^Levels^;;;;"},
      {"values keep their blanks and commas", Tabbed({"09:00:06", "03/15/05", " 1 ", "-80", "a,b"}),
       "Time^Date^BandNumber^Levels^09:00:06;03/15/05; 1 ;-80,a,b;"},
  };
  std::string text = Lines({kSoftware, kScanColumns, Tabbed({"09:00:00", "03/15/05", "1", "-79"})});
  for (const PayloadCase& c : cases) text += c.line + "\n";
  const std::vector<RecordedMessage> messages = Load(text);
  ASSERT_EQ(2u + std::size(cases), messages.size());
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(307, messages[i + 2].nClass) << cases[i].pszWhat;
    EXPECT_EQ(cases[i].payload, messages[i + 2].payload) << cases[i].pszWhat;
  }
}

TEST_F(MessageReading, BlankLineHasNoPositionAndTheTimeOfMidnight) {
  const std::vector<RecordedMessage> messages =
      Load(Lines({kSoftware, "delayBetweenMeasurement = 500", kPositionColumns,
                  Tabbed({"09:00:00", "03/15/05", "48.3000", "N", "2.2050", "E", "1"}), "",
                  Tabbed({"09:00:06", "03/15/05", "48.3000", "N", "2.2050", "E", "1"})}));
  ASSERT_EQ(4u, messages.size());
  const RecordedMessage& blank = messages[2];
  EXPECT_EQ(307, blank.nClass);
  EXPECT_EQ("Time^Date^Latitude^NS^Longitude^WE^Validity^;;;;;;;", blank.payload);
  EXPECT_EQ(kNone, blank.dLatitude);
  EXPECT_EQ(kNone, blank.dLongitude);
  EXPECT_EQ(0, blank.nQuality);
  EXPECT_EQ(0, blank.nTimeMs);  // midnight lies before the 09:00 start: clamped to 0
  EXPECT_EQ(6000, messages[3].nTimeMs);  // the blank line did not touch the repeat state
}

struct PositionCase {
  const char* pszWhat;
  std::string line;
  double dLatitude;
  double dLongitude;
  int nQuality;
};

TEST_F(MessageReading, PositionAndQualityFollowTheValidity) {
  const double kLat = 48 + 51.12 / 60;
  const double kLon = -(2 + 21.06 / 60);
  const PositionCase cases[] = {
      {"validity 1", Tabbed({"09:00:01", "03/15/05", "48.5112", "N", "2.2106", "W", "1"}), kLat, kLon, 100},
      {"validity 2", Tabbed({"09:00:02", "03/15/05", "48.5112", "N", "2.2106", "W", "2"}), kLat, kLon, 90},
      {"validity 3", Tabbed({"09:00:03", "03/15/05", "48.5112", "N", "2.2106", "W", "3"}), kLat, kLon, 80},
      {"validity 4", Tabbed({"09:00:04", "03/15/05", "48.5112", "N", "2.2106", "W", "4"}), kLat, kLon, 50},
      {"validity 7", Tabbed({"09:00:05", "03/15/05", "48.5112", "N", "2.2106", "W", "7"}), kLat, kLon, 50},
      {"validity 0", Tabbed({"09:00:06", "03/15/05", "48.5112", "N", "2.2106", "W", "0"}), kNone, kNone, 50},
      {"validity -1", Tabbed({"09:00:07", "03/15/05", "48.5112", "N", "2.2106", "W", "-1"}), kNone, kNone, 50},
      {"unreadable validity", Tabbed({"09:00:08", "03/15/05", "48.5112", "N", "2.2106", "W", "ok"}), kNone, kNone,
       50},
      {"unreadable latitude", Tabbed({"09:00:09", "03/15/05", "4830", "S", "2.2106", "W", "1"}), kNone, kLon, 100},
      {"southern hemisphere", Tabbed({"09:00:10", "03/15/05", "48.5112", "S", "2.2106", "E", "1"}), -kLat, -kLon,
       100},
      {"unreadable time", Tabbed({"xx:00:11", "03/15/05", "48.5112", "N", "2.2106", "W", "1"}), kNone, kNone, 0},
  };
  std::string text = Lines({kSoftware, kPositionColumns, Tabbed({"09:00:00", "03/15/05", "", "", "", "", "0"})});
  for (const PositionCase& c : cases) text += c.line + "\n";
  const std::vector<RecordedMessage> messages = Load(text);
  ASSERT_EQ(2u + std::size(cases), messages.size());
  for (size_t i = 0; i < std::size(cases); ++i) {
    const RecordedMessage& m = messages[i + 2];
    EXPECT_NEAR(cases[i].dLatitude, m.dLatitude, 1e-12) << cases[i].pszWhat;
    EXPECT_NEAR(cases[i].dLongitude, m.dLongitude, 1e-12) << cases[i].pszWhat;
    EXPECT_EQ(cases[i].nQuality, m.nQuality) << cases[i].pszWhat;
    EXPECT_EQ(307, m.nClass) << cases[i].pszWhat;
  }
  EXPECT_EQ(10000, messages[11].nTimeMs);
  // A refused time still gives all the fields; its time is that of midnight.
  EXPECT_EQ("Time^Date^Latitude^NS^Longitude^WE^Validity^xx:00:11;03/15/05;48.5112;N;2.2106;W;1;",
            messages[12].payload);
  EXPECT_EQ(0, messages[12].nTimeMs);
}

TEST_F(MessageReading, MissingPositionColumnsReadAsEmpty) {
  const std::vector<RecordedMessage> messages =
      Load(Lines({kSoftware, Tabbed({"Time", "Date", "Longitude", "Validity"}),
                  Tabbed({"09:00:00", "03/15/05", "2.2050", "1"})}));
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(kNone, messages[1].dLatitude);
  EXPECT_NEAR(2 + 20.5 / 60, messages[1].dLongitude, 1e-12);  // no WE column: not negated
  EXPECT_EQ(100, messages[1].nQuality);
}

TEST_F(MessageReading, DuplicateColumnNamesShareOneField) {
  const std::vector<RecordedMessage> messages =
      Load(Lines({kSoftware, Tabbed({"Time", "X", "Date", "X"}), Tabbed({"09:00:00", "a", "03/15/05", "b", "c", "d"}),
                  Tabbed({"09:00:01", "a", "03/15/05", "b"})}));
  ASSERT_EQ(3u, messages.size());
  EXPECT_EQ("Time^X^Date^09:00:00;a,b,c,d;03/15/05;", messages[1].payload);
  EXPECT_EQ("Time^X^Date^09:00:01;a,b;03/15/05;", messages[2].payload);
}

// A text holding "^" or ";" breaks the payload's format; it stays in its own
// field, every byte kept. (Written field by field, the second value of "a^b"
// would be refused: the builder finds the name token b with no value of its
// own.)
TEST_F(MessageReading, PayloadDelimitersInTextsStayInTheirField) {
  const std::vector<RecordedMessage> messages = Load(Lines({
      kSoftware,
      Tabbed({"Time", "Date", "L^x"}),
      Tabbed({"09:00:00", "03/15/05", "-80", "-81"}),
      "HYTEM Software - V2.4.1",
      Tabbed({"Time", "Date", "Levels", "a^b", "b"}),
      Tabbed({"09:00:01", "03/15/05", "-80", "1", "2", "a;b", "c"}),
  }));
  ASSERT_EQ(4u, messages.size());
  EXPECT_EQ("Time^Date^L^x^09:00:00;03/15/05;-80,-81;", messages[1].payload);
  EXPECT_EQ("Time^Date^Levels^a^b^b^09:00:01;03/15/05;-80;1;2,a;b,c;", messages[3].payload);
}

TEST_F(MessageReading, SoftwareLineInTheMiddleStartsANewHeader) {
  const std::vector<RecordedMessage> messages = Load(Lines({
      kSoftware,
      "delayBetweenMeasurement = 500",
      kPositionColumns,
      Tabbed({"09:00:00", "03/15/05", "48.3000", "N", "2.2050", "E", "1"}),
      "HYTEM Software - V2.5 - beta",
      "nbScannedBandwidths = 1",
      Tabbed({"Validity", "Time", "Levels"}),
      Tabbed({"1", "09:00:01", "-70", "-71", "-72"}),
      Tabbed({"1", "09:00:01", "-70"}),
  }));
  ASSERT_EQ(5u, messages.size());
  EXPECT_EQ(0, messages[1].nTimeMs);

  EXPECT_EQ(306, messages[2].nClass);
  EXPECT_EQ(0, messages[2].nTimeMs);
  EXPECT_EQ("Software Version^nbScannedBandwidths^V2.5 - beta;1;", messages[2].payload);
  EXPECT_EQ((std::vector<std::string>{"Validity", "Time", "Levels"}), m_reader.ColumnNames());

  // The new columns give the payload; Latitude and Longitude keep their old
  // indexes 2 and 4, where the levels now stand: no readable coordinate.
  EXPECT_EQ("Validity^Time^Levels^1;09:00:01;-70,-71,-72;", messages[3].payload);
  EXPECT_EQ(1000, messages[3].nTimeMs);
  EXPECT_EQ(kNone, messages[3].dLatitude);
  EXPECT_EQ(kNone, messages[3].dLongitude);
  EXPECT_EQ(100, messages[3].nQuality);
  EXPECT_EQ(1500, messages[4].nTimeMs);  // the delay of the first header still holds
}

TEST_F(MessageReading, EmptyColumnListGivesAnEmptyPayloadButTimeAndPosition) {
  const std::vector<RecordedMessage> messages = Load(Lines({
      kSoftware,
      "delayBetweenMeasurement = 500",
      kPositionColumns,
      Tabbed({"09:00:00", "03/15/05", "48.3000", "N", "2.2050", "E", "1"}),
      "HYTEM Software V3",
      "",
      Tabbed({"09:00:05", "03/15/05", "48.3000", "S", "2.2050", "W", "2", "extra"}),
  }));
  ASSERT_EQ(4u, messages.size());
  EXPECT_EQ("Software Version^;", messages[2].payload);  // no "-": empty version
  EXPECT_TRUE(m_reader.ColumnNames().empty());
  const RecordedMessage& m = messages[3];
  EXPECT_EQ(307, m.nClass);
  EXPECT_EQ("", m.payload);
  EXPECT_EQ(5000, m.nTimeMs);
  EXPECT_DOUBLE_EQ(-48.5, m.dLatitude);
  EXPECT_NEAR(-(2 + 20.5 / 60), m.dLongitude, 1e-12);
  EXPECT_EQ(90, m.nQuality);
}

TEST_F(MessageReading, HeaderCutOffByTheEndOfTheFileAndThenTheEnd) {
  const std::string path = m_dir.Write(
      "cut.h2m", Lines({kSoftware, kScanColumns, Tabbed({"09:00:00", "03/15/05", "1", "-80"}),
                        "HYTEM Software - V3", "a = 1"}));
  ASSERT_EQ(ROL_OK, m_reader.ReadFileHeader(path.c_str()));
  // Read on from where the set-up stopped, without the host's rewind.
  CVyrGenericHsMessage msg;
  msg.m_nFlags = 5;
  ASSERT_EQ(ROL_OK, m_reader.ReadNextMessage(msg, 0));
  EXPECT_EQ(306, msg.m_nMsgClass);
  EXPECT_EQ(0, msg.m_nFlags);
  EXPECT_STREQ("Software Version^a^V3;1;", msg.GetMsgBuf());

  msg.m_nMsgClass = 42;
  EXPECT_EQ(ROL_END_OF_FILE, m_reader.ReadNextMessage(msg, 0));
  EXPECT_EQ(42, msg.m_nMsgClass);  // untouched at the end
  EXPECT_STREQ("Software Version^a^V3;1;", msg.GetMsgBuf());
}

struct CutLineCase {
  const char* pszWhat;
  std::string lastLines;  // the log's end, the last line without its line end
  std::int32_t nClass;
  std::string payload;  // of the last message
  std::vector<std::string> columns;
};

// A last line without its line end is cut: what may be cut is not taken.
TEST_F(MessageReading, CutLastLineLeavesOutWhatMayBeCut) {
  const std::string kLevelsAt2 = "Time^Date^BandNumber^Levels^12:00:02;03/15/05;2;";
  const std::vector<std::string> kScan = {"Time", "Date", "BandNumber", "Levels"};
  const CutLineCase cases[] = {
      {"cut inside a number", Tabbed({"12:00:02", "03/15/05", "2", "-70", "-5"}), 307, kLevelsAt2 + "-70;", kScan},
      {"complete but without its line end", Tabbed({"12:00:02", "03/15/05", "2", "-70", "-51.3"}), 307,
       kLevelsAt2 + "-70;", kScan},
      {"cut after a tab", Tabbed({"12:00:02", "03/15/05", "2", "-70", ""}), 307, kLevelsAt2 + "-70;", kScan},
      {"cut in the last column's field", Tabbed({"12:00:02", "03/15/05", "2", "-7"}), 307, kLevelsAt2 + ";", kScan},
      {"CR of a CR LF without the LF", Tabbed({"12:00:02", "03/15/05", "2", "-70", "-51.3"}) + "\r", 307,
       kLevelsAt2 + "-70;", kScan},
      {"cut inside the first field", "12:0", 307, "Time^Date^BandNumber^Levels^;;;;", kScan},
      {"cut software line", "HYTEM Software - V2.5", 306, "Software Version^;", kScan},
      {"cut header field", "HYTEM Software - V3\nstartFrequencies1 = 18", 306, "Software Version^V3;", kScan},
      {"cut column header line", "HYTEM Software - V3\n" + Tabbed({"Time", "Date", "Lev"}), 306,
       "Software Version^V3;", {"Time", "Date"}},
  };
  for (const CutLineCase& c : cases) {
    CTestableHytemReader reader;
    const std::string text = Lines({kSoftware, "delayBetweenMeasurement = 500", kScanColumns,
                                    Tabbed({"12:00:01", "03/15/05", "1", "-80", "-82"})}) +
                             c.lastLines;
    const std::vector<RecordedMessage> messages = LoadAndRecord(reader, m_dir.Write("cut.h2m", text));
    ASSERT_EQ(3u, messages.size()) << c.pszWhat;
    EXPECT_EQ(c.nClass, messages[2].nClass) << c.pszWhat;
    EXPECT_EQ(c.payload, messages[2].payload) << c.pszWhat;
    EXPECT_EQ(c.columns, reader.ColumnNames()) << c.pszWhat;
    EXPECT_TRUE(reader.EndsInUnterminatedLine()) << c.pszWhat;
  }
}

TEST_F(MessageReading, ParseMeasurementLineReadsPositionBeforeTime) {
  const std::string path = m_dir.Write(
      "pos.h2m", Lines({kSoftware, kPositionColumns, Tabbed({"09:00:00", "03/15/05", "", "", "", "", "0"})}));
  ASSERT_EQ(ROL_OK, m_reader.ReadFileHeader(path.c_str()));
  std::int64_t nTime = -1;
  double dLongitude = kNone;
  double dLatitude = kNone;
  std::int32_t nValidity = 0;
  const CString line(Tabbed({"bad", "03/15/05", "10.3000", "S", "20.1500", "E", "3"}));
  EXPECT_EQ(1, m_reader.ParseMeasurementLine(line, nTime, dLongitude, dLatitude, nValidity));
  EXPECT_EQ(-1, nTime);
  EXPECT_EQ(3, nValidity);
  EXPECT_DOUBLE_EQ(-10.5, dLatitude);
  EXPECT_DOUBLE_EQ(20.25, dLongitude);
}

}  // namespace

// Hostile and broken logs, loaded as a host loads them: each case states its
// outcome, a result code or the messages with their fallback values, and that
// nothing is lost: every line after the header block becomes a message whose
// payload holds the line's bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "CStdioFile.h"
#include "RobustnessSupport.h"
#include "VyrDecodeDevice.h"

namespace {
constexpr double kNone = -10000.0;
const std::string kSoftware = "HYTEM Software - V2.4";
const std::string kTop10 = "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string Tabbed(std::initializer_list<std::string> fields) {
  std::string text;
  for (const std::string& field : fields) text += (text.empty() ? "" : "\t") + field;
  return text;
}

// Bytes from a fixed sequence, so that every run sees the same garbage.
std::string Garbage(size_t n, std::uint32_t seed) {
  std::string bytes;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    bytes.push_back(static_cast<char>(seed >> 24));
  }
  return bytes;
}

class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitHytemModuleForTests(); }
  void SetUp() override { CVyrDecodeDevice::m_prefs.dLevelThreshold = -std::numeric_limits<double>::infinity(); }

  RecordedLoad Load(const std::string& bytes) { return LoadRecorded(m_dir.Write("log.h2m", bytes)); }

  TempDir m_dir;
};

struct RefusedCase {
  const char* pszWhat;
  std::string bytes;
  RolRetc rc;
};

TEST_F(BadInput, RefusedLogsGiveTheirCodeAndNoMessage) {
  std::string garbage = Garbage(4096, 7);
  ASSERT_EQ(std::string::npos, garbage.find("HYTEM Software"));
  const std::string kColumns = Tabbed({"Time", "Date"});
  const RefusedCase cases[] = {
      {"empty file", "", 1002},
      {"binary garbage", garbage, 1004},
      {"binary garbage after a software line", kSoftware + "\n" + garbage, 1004},
      {"cut after a whole header line", Lines({kSoftware, "delayBetweenMeasurement = 500"}), 1004},
      {"cut inside a header line, after its =", kSoftware + "\nnbScannedBandwidths =", 1004},
      // Without its "=" the fragment reads as the column header line.
      {"cut inside a header line, before its =", kSoftware + "\nnbScanned", 1002},
      {"cut after the column header line", Lines({kSoftware, kColumns}), 1002},
      // A CR alone ends no line: the whole file is its software line.
      {"CR-only line ends", kSoftware + "\r" + kColumns + "\r12:00:01\t03/15/05\r", 1004},
      {"NUL bytes only", std::string(100, '\0'), 1004},
      // A file without line ends (a device, say) stops at the maximum line length.
      {"a line beyond 64 MiB", kSoftware + "\n" + std::string(CStdioFile::kDefaultMaxLineLength + 1, '-'),
       ROL_LINE_TOO_LONG},
  };
  for (const RefusedCase& c : cases) {
    const RecordedLoad load = Load(c.bytes);
    EXPECT_EQ(c.rc, load.rc) << c.pszWhat;
    EXPECT_TRUE(load.messages.empty()) << c.pszWhat;
  }
}

TEST_F(BadInput, RefusedTimesAndDatesOfTheFirstMeasurementGive1004) {
  struct TimeDate {
    const char* pszTime;
    const char* pszDate;
  };
  const TimeDate cases[] = {
      {"12", "03/15/05"},            // fewer than 3 characters
      {"", "03/15/05"},              // empty
      {" 12:00:01", "03/15/05"},     // a blank before the digits
      {"a2:00:01", "03/15/05"},      // first character not a digit
      {"1a:00:01", "03/15/05"},      // second character not a digit
      {"12:00:01", "031505"},        // no separator
      {"12:00:01", "12.31.99"},      // another separator
      {"12:00:01", "/12/99"},        // "/" first, and no "-"
      {"12:00:01", "-12-1999"},      // "-" first
      {"12:00:01", ""},              // empty
  };
  for (const TimeDate& c : cases) {
    const RecordedLoad load = Load(Lines({kSoftware, Tabbed({"Time", "Date"}), Tabbed({c.pszTime, c.pszDate})}));
    EXPECT_EQ(1004, load.rc) << "time '" << c.pszTime << "', date '" << c.pszDate << "'";
  }
}

TEST_F(BadInput, RefusedTimeOfALaterLineKeepsItsFieldsWithoutPosition) {
  const RecordedLoad load = Load(Lines({
      kSoftware,
      "delayBetweenMeasurement = 500",
      Tabbed({"Time", "Date", "Validity", "Latitude", "NS", "Longitude", "WE"}),
      Tabbed({"12:00:01", "03/15/05", "1", "48.3000", "N", "2.1500", "E"}),
      Tabbed({" 12:00:02", "03/15/05", "1", "48.3000", "N", "2.1500", "E"}),
      Tabbed({"12:00:01", "03/15/05", "1", "48.3000", "N", "2.1500", "E"}),
  }));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(4u, load.messages.size());
  const RecordedMessage& refused = load.messages[2];
  EXPECT_EQ("Time^Date^Validity^Latitude^NS^Longitude^WE^ 12:00:02;03/15/05;1;48.3000;N;2.1500;E;", refused.payload);
  EXPECT_EQ(0, refused.nQuality);
  EXPECT_EQ(kNone, refused.dLatitude);
  EXPECT_EQ(kNone, refused.dLongitude);
  EXPECT_EQ(0, refused.nTimeMs);  // time within day 0, before the file start
  // The refused line left the repeat state alone: the lines around it are
  // 12:00:01 itself and its first repeat.
  EXPECT_EQ(0, load.messages[1].nTimeMs);
  EXPECT_EQ(500, load.messages[3].nTimeMs);
  EXPECT_EQ(100, load.messages[3].nQuality);
  EXPECT_DOUBLE_EQ(48.5, load.messages[3].dLatitude);
}

TEST_F(BadInput, NulBytesAreDroppedAndEveryOtherByteKept) {
  using namespace std::string_literals;
  const RecordedLoad load = Load(Lines({
      kSoftware,
      "delayBetweenMeasurement = 5\0"s "00",
      Tabbed({"Time", "Date", "Levels"}),
      Tabbed({"12:00:0\0"s "1", "03/15/05", "-7\0"s "0", "-8\0\0"s "0"}),
      Tabbed({"12:00:01", "03/15/05", "-60"}),
      std::string(64, '\0'),  // a log end that a crash filled with zeros
  }));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(4u, load.messages.size());
  EXPECT_EQ("Software Version^delayBetweenMeasurement^V2.4;500;", load.messages[0].payload);
  EXPECT_EQ("Time^Date^Levels^12:00:01;03/15/05;-70,-80;", load.messages[1].payload);
  EXPECT_EQ(500, load.messages[2].nTimeMs);  // the delay read through its NUL
  EXPECT_EQ("Time^Date^Levels^;;;", load.messages[3].payload);
  EXPECT_EQ(0, load.messages[3].nQuality);
}

TEST_F(BadInput, GarbageLinesAfterAGoodHeaderEachBecomeAMessage) {
  // Garbage without line ends, tabs or NULs, led by a byte that is no digit:
  // each line is one field of the first column, with no readable time.
  std::vector<std::string> garbage;
  std::string text = Lines({kSoftware, Tabbed({"Time", "Date", "Levels"}), Tabbed({"12:00:01", "03/15/05", "-70"})});
  for (std::uint32_t seed = 1; seed <= 5; ++seed) {
    std::string line = "\xff";
    for (char c : Garbage(200, seed))
      if (c != '\n' && c != '\r' && c != '\t' && c != '\0') line.push_back(c);
    garbage.push_back(line);
    text += line + "\n";
  }
  const RecordedLoad load = Load(text);
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u + garbage.size(), load.messages.size());
  for (size_t i = 0; i < garbage.size(); ++i) {
    const RecordedMessage& m = load.messages[2 + i];
    EXPECT_EQ(307, m.nClass);
    EXPECT_EQ("Time^Date^Levels^" + garbage[i] + ";;;", m.payload) << i;
    EXPECT_EQ(0, m.nQuality);
    EXPECT_EQ(kNone, m.dLatitude);
  }
}

// The cut field may be cut inside its number: it is not taken.
TEST_F(BadInput, LogCutInsideAMeasurementLineKeepsTheFieldsBeforeTheCut) {
  const std::string columns = Tabbed({"Time", "Date", "Validity", "Latitude", "NS", "Longitude", "WE", "Levels"});
  const RecordedLoad load = Load(Lines({kSoftware, columns,
                                        Tabbed({"12:00:01", "03/15/05", "1", "48.3000", "N", "2.1500", "E", "-70"})}) +
                                 Tabbed({"12:00:02", "03/15/05", "1", "48.30"}));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(3u, load.messages.size());
  const RecordedMessage& cut = load.messages[2];
  EXPECT_EQ("Time^Date^Validity^Latitude^NS^Longitude^WE^Levels^12:00:02;03/15/05;1;;;;;;", cut.payload);
  EXPECT_EQ(1000, cut.nTimeMs);
  EXPECT_EQ(100, cut.nQuality);
  EXPECT_EQ(kNone, cut.dLatitude);
  EXPECT_EQ(kNone, cut.dLongitude);
}

TEST_F(BadInput, OneMegabyteLineIsReadWhole) {
  std::string line = Tabbed({"12:00:01", "03/15/05", "1"});
  std::string levels;
  for (int k = 0; line.size() < (1u << 20); ++k) {
    const std::string level = std::to_string(-40 - k % 80) + "." + std::to_string(k % 10);
    line += "\t" + level;
    levels += (levels.empty() ? "" : ",") + level;
  }
  const RecordedLoad load = Load(Lines({kSoftware, Tabbed({"Time", "Date", "BandNumber", "Levels"}), line}));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u, load.messages.size());
  EXPECT_EQ("Time^Date^BandNumber^Levels^12:00:01;03/15/05;1;" + levels + ";", load.messages[1].payload);
  // Ten lines of the strongest levels (-40.0 and so on, no plan: 0 MHz).
  EXPECT_NE(std::string::npos, load.messages[1].detail.find(kTop10 + "0.000\t-40.000\n"));
}

TEST_F(BadInput, HundredThousandHeaderLinesFormOneHeaderMessage) {
  std::string text = kSoftware + "\n";
  std::string names = "Software Version^";
  std::string values = "V2.4;";
  for (int i = 0; i < 100000; ++i) {
    text += "h" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    names += "h" + std::to_string(i) + "^";
    values += std::to_string(i) + ";";
  }
  // Read after 100,001 fields: the delay counts, but the scan set-up lies
  // beyond the 10,001 names that a lookup reaches, so no plan is laid down.
  text += Lines({"delayBetweenMeasurement = 500", "nbScannedBandwidths = 1", "startFrequencies1 = 100.0",
                 "stopFrequencies1 = 100.1", "frequencyStep1 = 25", Tabbed({"Time", "Date", "BandNumber", "Levels"}),
                 Tabbed({"12:00:01", "03/15/05", "1", "-70", "-60"}), Tabbed({"12:00:01", "03/15/05", "1", "-71"})});
  names += "delayBetweenMeasurement^nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^";
  values += "500;1;100.0;100.1;25;";
  const RecordedLoad load = Load(text);
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(3u, load.messages.size());
  EXPECT_EQ(names + values, load.messages[0].payload);
  EXPECT_EQ(500, load.messages[2].nTimeMs);  // a repeat one delay on
  EXPECT_NE(std::string::npos, load.messages[1].detail.find(kTop10 + "0.000\t-60.000\n0.000\t-70.000\n"));
}

TEST_F(BadInput, TenThousandColumns) {
  std::vector<std::string> columns = {"Time", "Date"};
  std::string line = Tabbed({"12:00:01", "03/15/05"});
  std::string values = "12:00:01;03/15/05;";
  for (int i = 2; i < 10000; ++i) {
    columns.push_back("c" + std::to_string(i));
    line += "\t" + std::to_string(i);
    values += std::to_string(i) + ";";
  }
  std::string header;
  std::string names;
  for (const std::string& c : columns) {
    header += (header.empty() ? "" : "\t") + c;
    names += c + "^";
  }
  const RecordedLoad load = Load(Lines({kSoftware, header, line, line}));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(3u, load.messages.size());
  EXPECT_EQ(names + values, load.messages[1].payload);
  EXPECT_EQ(names + values, load.messages[2].payload);
}

TEST_F(BadInput, NumbersOutOfRangeGiveSaturatedValues) {
  const RecordedLoad load = Load(Lines({
      kSoftware,
      "delayBetweenMeasurement = -99999999999",
      Tabbed({"Time", "Date", "Validity", "Latitude", "NS", "Longitude", "WE", "BandNumber", "Levels"}),
      Tabbed({"12:00:01", "03/15/05", "99999999999", "1e999.5", "N", "-99999999999.30", "W", "-99999999999", "1e999",
              "-99999999999", "-70"}),
  }));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u, load.messages.size());
  const RecordedMessage& m = load.messages[1];
  EXPECT_EQ("Time^Date^Validity^Latitude^NS^Longitude^WE^BandNumber^Levels^"
            "12:00:01;03/15/05;99999999999;1e999.5;N;-99999999999.30;W;-99999999999;1e999,-99999999999,-70;",
            m.payload);
  // The repeat offset of a delay of -99999999999 ms lies before the file
  // start: message time 0.
  EXPECT_EQ(0, m.nTimeMs);
  // The validity reads as a positive integer that is none of 1 to 3.
  EXPECT_EQ(50, m.nQuality);
  EXPECT_TRUE(std::isinf(m.dLatitude) && m.dLatitude > 0);
  EXPECT_DOUBLE_EQ(99999999998.5, m.dLongitude);  // -(-99999999999 + 0.30 * 100 / 60), west
  // Levels rank in whole dB times 1000, saturated at the 32-bit limits; with
  // no plan every frequency is 0.
  const std::string top = kTop10 + "0.000\t2147483.647\n0.000\t-70.000\n0.000\t-2147483.648\n";
  ASSERT_GE(m.detail.size(), top.size());
  EXPECT_EQ(top, m.detail.substr(m.detail.size() - top.size()));
}

TEST_F(BadInput, BandNumbersWithoutAStartIndexStartAtPlanElementZero) {
  // One band of five frequencies: start indexes 0 and 5. Bands 0 and
  // 2147483647 have no start index (elements -1 and 2147483646): they read as
  // 0, so their levels go to the first frequencies.
  const RecordedLoad load = Load(Lines({
      kSoftware,
      "nbScannedBandwidths = 1",
      "startFrequencies1 = 100.0",
      "stopFrequencies1 = 100.1",
      "frequencyStep1 = 25",
      Tabbed({"Time", "Date", "BandNumber", "Levels"}),
      Tabbed({"12:00:01", "03/15/05", "0", "-70", "-60"}),
      Tabbed({"12:00:02", "03/15/05", "2147483647", "-70", "-60"}),
  }));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(3u, load.messages.size());
  const std::string top = kTop10 + "100.025\t-60.000\n100.000\t-70.000\n";
  EXPECT_EQ(" Time=12:00:01 Date=03/15/05 Band Number=0" + top, load.messages[1].detail);
  EXPECT_EQ(" Time=12:00:02 Date=03/15/05 Band Number=2147483647" + top, load.messages[2].detail);
}
}  // namespace

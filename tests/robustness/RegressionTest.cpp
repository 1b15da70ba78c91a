// Logs that once made the reader or the decoder work for minutes or hours:
// their cost grew with fields times line length. Each now reads in one pass;
// the outcome is checked here, the time by the test's time limit.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "RobustnessSupport.h"
#include "VyrDecodeDevice.h"

namespace {
const std::string kTop10 = "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

class Regression : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitHytemModuleForTests(); }
  void SetUp() override { CVyrDecodeDevice::m_prefs.dLevelThreshold = -std::numeric_limits<double>::infinity(); }

  TempDir m_dir;
};

// Each trailing value holding ";" was written field by field, rewriting the
// whole payload each time.
TEST_F(Regression, HundredThousandTrailingValuesHoldingDelimiters) {
  std::string line = "12:00:01\t03/15/05";
  std::string values;
  for (int i = 0; i < 100000; ++i) {
    line += "\ta;" + std::to_string(i);
    values += (values.empty() ? "a;" : ",a;") + std::to_string(i);
  }
  const RecordedLoad load =
      LoadRecorded(m_dir.Write("log.h2m", "HYTEM Software - V2\nTime\tDate\tL\n" + line + "\n"));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u, load.messages.size());
  EXPECT_EQ("Time^Date^L^12:00:01;03/15/05;" + values + ";", load.messages[1].payload);
}

// A column name holding "^" repeated Levels 5000 times in the payload, and
// each repetition ranked the first list of 50,000 levels again: 10^9 writes.
TEST_F(Regression, RepeatedLevelsNamesRankTheLevelsOnce) {
  std::string columns = "Time\tDate\tBandNumber\tLevels\tLevels";
  std::string ones = "1";
  for (int i = 1; i < 5000; ++i) {
    columns += "^Levels";
    ones += ";1";
  }
  std::string levels = "-70";
  for (int i = 1; i < 50000; ++i) levels += ",-70";
  const RecordedLoad load = LoadRecorded(m_dir.Write(
      "log.h2m", "HYTEM Software - V2\n" + columns + "\n12:00:01\t03/15/05\t1\t" + levels + "\t" + ones + "\n"));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u, load.messages.size());
  EXPECT_EQ(1u, Count(load.messages[1].detail, kTop10));
  EXPECT_EQ(10u, Count(load.messages[1].detail, "0.000\t-70.000\n"));
}

// A scan set-up of 3333 bands behind a software version of a megabyte: every
// band's three lookups walked the whole version text.
TEST_F(Regression, ThousandsOfBandsBehindALongFirstValue) {
  std::string text = "HYTEM Software - V" + std::string(1 << 20, 'x') + "\nnbScannedBandwidths = 3333\n";
  for (int j = 1; j <= 3333; ++j) {
    const std::string n = std::to_string(j), mhz = std::to_string(100 + j);
    text += "startFrequencies" + n + " = " + mhz + "\nstopFrequencies" + n + " = " + mhz + "\nfrequencyStep" + n +
            " = 25\n";
  }
  // One frequency a band: band 3333 starts at plan element 3332, 3433 MHz.
  text += "Time\tDate\tBandNumber\tLevels\n12:00:01\t03/15/05\t3333\t-70\n";
  const RecordedLoad load = LoadRecorded(m_dir.Write("log.h2m", text));
  ASSERT_EQ(0, load.rc);
  ASSERT_EQ(2u, load.messages.size());
  EXPECT_EQ(" Time=12:00:01 Date=03/15/05 Band Number=3333" + kTop10 + "3433.000\t-70.000\n", load.messages[1].detail);
}
}  // namespace

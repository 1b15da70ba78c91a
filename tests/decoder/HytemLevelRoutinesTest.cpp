// The routines of single fields: frequency texts, the level floor and the
// channel level list.
#include "HytemDecoderFixture.h"

namespace hytem_test {
namespace {
using LevelRoutinesTest = HytemDecoderTest;

TEST_F(LevelRoutinesTest, FrequencyRowsWriteHertzAndText) {
  Decode(kHytemMsgClassHeader, {{"frequency1", "145.5"}, {"frequency3", "abc"}, {"frequency4", "5800.025"}});
  EXPECT_EQ(Number(g_nAttrScanLogFreq, 0, kMsg), 145500000.0);
  EXPECT_EQ(Text(g_nAttrScanLogFreqStr, 0, kMsg), "145.500 MHz");
  EXPECT_EQ(Number(g_nAttrScanLogFreq, 2, kMsg), 0.0);
  EXPECT_EQ(Text(g_nAttrScanLogFreqStr, 2, kMsg), "0.000 MHz");
  EXPECT_EQ(Text(g_nAttrScanLogFreqStr, 3, kMsg), "5800.025 MHz");
  EXPECT_FALSE(Has(g_nAttrScanLogFreqStr, 1, kMsg));
  EXPECT_EQ(expanded.m_strDetailText, " Frequency 1=145.5 Frequency 3=abc Frequency 4=5800.025");
}

TEST_F(LevelRoutinesTest, LevelFloorClearsBelowMinus140) {
  struct Case {
    const char* field;
    const char* attr;
    const char* value;
    bool kept;
  };
  const Case cases[] = {
      {"Average", "ATTR_ID_SCAN_BIN_DB_MEAN", "-140.5", false},
      {"Average", "ATTR_ID_SCAN_BIN_DB_MEAN", "-140.0", true},
      {"Average", "ATTR_ID_SCAN_BIN_DB_MEAN", "-139.9", true},
      {"Minimum", "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL", "-141", false},
      {"Maximum", "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL", "-200", false},
      {"StdDev", "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL", "-150", true},  // never floored
      {"Level3", "ATTR_ID_SCAN_BIN_DB_MEAN", "-140.01", false},
  };
  for (const Case& c : cases) {
    ds.Clear();
    expanded.Reset();
    Decode(kHytemMsgClassMeasurement, {{c.field, c.value}});
    const int attr = AttrId(c.attr);
    const int index = std::string(c.field) == "Level3" ? 2 : 0;
    EXPECT_EQ(Has(attr, index, kMsg), c.kept) << c.field << "=" << c.value;
    if (c.kept) {
      EXPECT_EQ(Number(attr, index, kMsg), std::stod(c.value));
    }
  }
}

TEST_F(LevelRoutinesTest, ChannelLevelListPrintsTheHeaderOnce) {
  Decode(kHytemMsgClassMeasurement, {{"frequency1", "2400"},
                                     {"frequency2", "2410.5"},
                                     {"frequency3", "433.92"},
                                     {"frequency4", "5800"},
                                     {"Level1", "-85"},
                                     {"Level2", "-150"},
                                     {"Level3", "-60.25"},
                                     {"Level4", "-70"}});
  EXPECT_EQ(expanded.m_strDetailText,
            " Frequency 1=2400 Frequency 2=2410.5 Frequency 3=433.92 Frequency 4=5800"
            "\nFreq (MHz)\tRSSI (dBm)\n"
            "2400.000000\t-85\n2410.500000\t-150\n433.920000\t-60.25\n5800.000000\t-70\n");
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -85.0);
  EXPECT_FALSE(Has(g_nAttrScanBinDbMean, 1, kMsg));  // floored, but still printed
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 2, kMsg), -60.25);
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 3, kMsg), -70.0);
}

TEST_F(LevelRoutinesTest, ChannelLevelWithoutFrequencyOrHeaderRow) {
  // Level2 alone: no header (it comes before Level1 only) and no frequency.
  Decode(kHytemMsgClassMeasurement, {{"Level2", "-85"}});
  EXPECT_EQ(expanded.m_strDetailText, "0.000000\t-85\n");
}

TEST_F(LevelRoutinesTest, ChannelLevelFrequencyLastsFromAnEarlierMessage) {
  Decode(kHytemMsgClassMeasurement, {{"frequency1", "2400"}});
  expanded.Reset();
  Decode(kHytemMsgClassMeasurement, {{"Level1", "-85"}});
  EXPECT_EQ(expanded.m_strDetailText, "\nFreq (MHz)\tRSSI (dBm)\n2400.000000\t-85\n");
}

TEST_F(LevelRoutinesTest, ChannelLevelWithoutDetailTextOnlyFloors) {
  expanded.m_bWantDetailText = 0;
  Decode(kHytemMsgClassMeasurement, {{"frequency1", "2400"}, {"Level1", "-141"}});
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_FALSE(Has(g_nAttrScanBinDbMean, 0, kMsg));
}
}  // namespace
}  // namespace hytem_test

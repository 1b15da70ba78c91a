// A band's levels over the frequency plan: bin levels, ranked levels and the
// "Top 10 RSSI values" text.
#include <algorithm>
#include <climits>

#include "HytemDecoderFixture.h"

namespace hytem_test {
namespace {
const char* const kTopHeader = "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";

class BandLevelsTest : public HytemDecoderTest {
 protected:
  void DecodeLevels(const char* band, const char* levels) {
    expanded.Reset();
    ds.ClearWrites();
    Decode(kHytemMsgClassMeasurement, {{"BandNumber", band}, {"Levels", levels}});
  }
  std::optional<double> Bin(int e) const { return Number(g_nAttrScanBinDbMean, e, kMsg); }

  // The ranked lists as (level dB, position, frequency MHz), up to the first gap.
  struct Ranked {
    double level;
    int position;
    double mhz;
  };
  std::vector<Ranked> RankedLevels() const {
    std::vector<Ranked> out;
    for (int r = 0; Has(g_nAttrScanSortSigLevelBySigLev, r, kMsg); ++r)
      out.push_back({*Number(g_nAttrScanSortSigLevelBySigLev, r, kMsg),
                     static_cast<int>(*Number(g_nAttrScanSortIndexBySigLev, r, kMsg)),
                     *Number(g_nAttrScanSortFreqBySigLev, r, kMsg)});
    return out;
  }
  void ExpectRanked(const std::vector<Ranked>& expected) const {
    std::vector<Ranked> got = RankedLevels();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t r = 0; r < got.size(); ++r) {
      EXPECT_DOUBLE_EQ(got[r].level, expected[r].level) << "rank " << r;
      EXPECT_EQ(got[r].position, expected[r].position) << "rank " << r;
      EXPECT_NEAR(got[r].mhz, expected[r].mhz, 2e-6) << "rank " << r;  // whole hertz
    }
  }
  size_t TopLines() const {
    std::string text = expanded.m_strDetailText.str();
    size_t at = text.find(kTopHeader);
    if (at == std::string::npos) return 0;
    text = text.substr(at + std::string(kTopHeader).size());
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
};

TEST_F(BandLevelsTest, WorkedExampleOneBand) {
  DecodePlan({{"100.0", "100.1", "25"}});
  CVyrDecodeDevice::m_prefs.dLevelThreshold = -100.5;
  DecodeLevels("1", "-70,-95.5,-60");
  EXPECT_EQ(expanded.m_strDetailText, std::string(" Band Number=1") + kTopHeader +
                                          "100.050\t-60.000\n100.000\t-70.000\n100.025\t-95.000\n");
  EXPECT_EQ(Bin(0), -70.0);
  EXPECT_EQ(Bin(1), -95.5);
  EXPECT_EQ(Bin(2), -60.0);
  EXPECT_FALSE(Bin(3));
  ExpectRanked({{-60, 2, 100.05}, {-70, 0, 100.0}, {-95, 1, 100.025}});
}

TEST_F(BandLevelsTest, SecondBandStartsWhereTheFirstEnds) {
  DecodePlan({{"100.0", "100.1", "25"}, {"200.0", "200.05", "25"}});
  DecodeLevels("2", "-70,-95.5,-60");
  EXPECT_FALSE(Bin(4));
  EXPECT_EQ(Bin(5), -70.0);
  EXPECT_EQ(Bin(6), -95.5);
  EXPECT_EQ(Bin(7), -60.0);
  ExpectRanked({{-60, 2, 200.05}, {-70, 0, 200.0}, {-95, 1, 200.025}});
}

TEST_F(BandLevelsTest, LevelsBelowTheThresholdAreClearedAndEndTheRanking) {
  DecodePlan({{"100.0", "100.1", "25"}});
  Decode(kHytemMsgClassMeasurement, {{"BandNumber", "1"}, {"Levels", "-50,-51,-52"}});  // older values
  CVyrDecodeDevice::m_prefs.dLevelThreshold = -90;
  DecodeLevels("1", "-70,-95.5,-60");
  EXPECT_EQ(Bin(0), -70.0);
  EXPECT_FALSE(Bin(1));
  EXPECT_EQ(Bin(2), -60.0);
  // Ranks 0 and 1 are this message's; rank 2 still holds the earlier -52.
  ExpectRanked({{-60, 2, 100.05}, {-70, 0, 100.0}, {-52, 2, 100.05}});
  // The text shows the strongest levels whatever the threshold.
  EXPECT_EQ(expanded.m_strDetailText, std::string(" Band Number=1") + kTopHeader +
                                          "100.050\t-60.000\n100.000\t-70.000\n100.025\t-95.000\n");
}

TEST_F(BandLevelsTest, LevelAtTheThresholdStays) {
  DecodePlan({{"100.0", "100.1", "25"}});
  CVyrDecodeDevice::m_prefs.dLevelThreshold = -70;
  DecodeLevels("1", "-70,-95.5,-60");
  EXPECT_EQ(Bin(0), -70.0);
  EXPECT_FALSE(Bin(1));
  ExpectRanked({{-60, 2, 100.05}, {-70, 0, 100.0}});
}

TEST_F(BandLevelsTest, RankingComparesWholeDecibels) {
  // -90.5 lies below the threshold -90 and is cleared from the bins, but its
  // whole-dB rank level -90 does not and is ranked.
  DecodePlan({{"100.0", "100.1", "25"}});
  CVyrDecodeDevice::m_prefs.dLevelThreshold = -90;
  DecodeLevels("1", "-90.5,-60");
  EXPECT_FALSE(Bin(0));
  EXPECT_EQ(Bin(1), -60.0);
  ExpectRanked({{-60, 1, 100.025}, {-90, 0, 100.0}});
}

TEST_F(BandLevelsTest, TextListsAtMostTenLevels) {
  DecodePlan({{"100.0", "100.35", "25"}});  // 15 frequencies
  DecodeLevels("1", "-74,-73,-72,-71,-70,-69,-68,-67,-66,-65,-64,-63,-62,-61,-60");
  EXPECT_EQ(TopLines(), 10u);
  EXPECT_NE(expanded.m_strDetailText.str().find("100.350\t-60.000\n"), std::string::npos);
  EXPECT_EQ(expanded.m_strDetailText.str().find("-70.000"), std::string::npos);  // 11th strongest
  EXPECT_EQ(RankedLevels().size(), 15u);
  EXPECT_DOUBLE_EQ(RankedLevels()[14].level, -74);

  DecodeLevels("1", "-70,-95.5,-60");
  EXPECT_EQ(TopLines(), 3u);
}

TEST_F(BandLevelsTest, EmptyElementsOfTheList) {
  DecodePlan({{"100.0", "100.1", "25"}});
  DecodeLevels("1", ",-80");
  EXPECT_EQ(Bin(0), 0.0);
  EXPECT_EQ(Bin(1), -80.0);
  ExpectRanked({{0, 0, 100.0}, {-80, 1, 100.025}});

  ds.Clear();
  DecodeLevels("1", "-80,,-70");
  EXPECT_EQ(Bin(0), -80.0);
  EXPECT_FALSE(Bin(1));
  EXPECT_FALSE(Bin(2));
  EXPECT_EQ(TopLines(), 1u);
}

TEST_F(BandLevelsTest, SuppressedSortOutputWritesNoRanking) {
  DecodePlan({{"100.0", "100.1", "25"}});
  ds.SetSortOutputSuppressed(true);
  DecodeLevels("1", "-70,-60");
  EXPECT_EQ(Bin(1), -60.0);
  EXPECT_EQ(WritesTo(g_nAttrScanSortSigLevelBySigLev) + WritesTo(g_nAttrScanSortIndexBySigLev) +
                WritesTo(g_nAttrScanSortFreqBySigLev),
            0u);
  EXPECT_EQ(TopLines(), 2u);
}

TEST_F(BandLevelsTest, NoTextWhenNotWanted) {
  DecodePlan({{"100.0", "100.1", "25"}});
  expanded.Reset();
  expanded.m_bWantDetailText = 0;
  Decode(kHytemMsgClassMeasurement, {{"BandNumber", "1"}, {"Levels", "-70,-60"}});
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_EQ(RankedLevels().size(), 2u);
}

TEST_F(BandLevelsTest, UndeclaredBandsReadAsStartingAtZero) {
  for (const char* band : {"0", "3", "-7", "-2147483648", "abc"}) {
    SCOPED_TRACE(band);
    ds.Clear();
    DecodePlan({{"100.0", "100.1", "25"}});
    DecodeLevels(band, "-70,-60");
    EXPECT_EQ(Bin(0), -70.0);
    EXPECT_EQ(Bin(1), -60.0);
    ExpectRanked({{-60, 1, 100.025}, {-70, 0, 100.0}});
  }
}

TEST_F(BandLevelsTest, LevelsWithoutAPlanHaveFrequencyZero) {
  DecodeLevels("1", "-60");
  EXPECT_EQ(expanded.m_strDetailText, std::string(" Band Number=1") + kTopHeader + "0.000\t-60.000\n");
  ExpectRanked({{-60, 0, 0.0}});
}

TEST_F(BandLevelsTest, PlanElementsEndAtTheLastIndex) {
  ds.SetIntValue(g_nAttrScanLogHytemBandStartIdx, INT_MAX - 1, 0, kPlan, 0);
  ds.SetRealValue(g_nAttrScanLogFreq, 400e6, INT_MAX - 1, kPlan, 0);
  ds.SetRealValue(g_nAttrScanLogFreq, 401e6, INT_MAX, kPlan, 0);
  DecodeLevels("1", "-70,-60,-50");
  EXPECT_EQ(Bin(INT_MAX - 1), -70.0);
  EXPECT_EQ(Bin(INT_MAX), -60.0);
  ExpectRanked({{-60, 1, 401.0}, {-70, 0, 400.0}});
  EXPECT_EQ(TopLines(), 2u);
}

TEST_F(BandLevelsTest, FrequenciesAboveTwoGigahertzKeepTheirValue) {
  DecodePlan({{"5800.0", "5800.05", "25"}});
  DecodeLevels("1", "-70,-60,-80");
  ExpectRanked({{-60, 1, 5800.025}, {-70, 0, 5800.0}, {-80, 2, 5800.05}});
  EXPECT_EQ(expanded.m_strDetailText, std::string(" Band Number=1") + kTopHeader +
                                          "5800.025\t-60.000\n5800.000\t-70.000\n5800.050\t-80.000\n");
}

// The decode device keeps the plan's frequencies from one message to the
// next: any write at scope 0, and another data state, must be seen.
TEST_F(BandLevelsTest, KeptPlanFrequenciesFollowTheDataState) {
  DecodePlan({{"100.0", "100.1", "25"}});
  DecodeLevels("1", "-70,-60");
  ExpectRanked({{-60, 1, 100.025}, {-70, 0, 100.0}});
  ds.SetRealValue(g_nAttrScanLogFreq, 300e6, 1, kPlan, 0);  // the host's own write
  DecodeLevels("1", "-70,-60");
  ExpectRanked({{-60, 1, 300.0}, {-70, 0, 100.0}});

  CVyrMemoryDataState other;
  const Fields plan{{"nbScannedBandwidths", "1"}, {"startFrequencies1", "200.0"}, {"stopFrequencies1", "200.1"},
                    {"frequencyStep1", "25"}};
  receiver->DecodeMessage(MakeMessage(kHytemMsgClassHeader, plan), &other, expanded, nullptr);
  receiver->DecodeMessage(MakeMessage(kHytemMsgClassMeasurement, {{"BandNumber", "1"}, {"Levels", "-70,-60,-50,-40,-30,-20"}}),
                          &other, expanded, nullptr);
  EXPECT_EQ(other.GetValue(g_nAttrScanSortFreqBySigLev, 0, kMsg).m_value.d, 0.0);  // beyond the plan's 5
  EXPECT_NEAR(other.GetValue(g_nAttrScanSortFreqBySigLev, 1, kMsg).m_value.d, 200.1, 2e-6);
  DecodeLevels("1", "-70,-60");
  ExpectRanked({{-60, 1, 300.0}, {-70, 0, 100.0}});
  ds.Clear();
  DecodeLevels("1", "-70,-60");
  ExpectRanked({{-60, 1, 0.0}, {-70, 0, 0.0}});
}

TEST_F(BandLevelsTest, UnrepresentableLevelsSaturate) {
  DecodePlan({{"100.0", "100.1", "25"}});
  DecodeLevels("1", "1e300,nan,-1e300");
  std::vector<Ranked> ranked = RankedLevels();
  ASSERT_EQ(ranked.size(), 3u);
  EXPECT_DOUBLE_EQ(ranked[0].level, 2147483.647);
  EXPECT_EQ(ranked[0].position, 0);
  EXPECT_DOUBLE_EQ(ranked[1].level, 0.0);
  EXPECT_EQ(ranked[1].position, 1);
  EXPECT_DOUBLE_EQ(ranked[2].level, -2147483.648);
  EXPECT_EQ(ranked[2].position, 2);
}
}  // namespace
}  // namespace hytem_test

// The frequency plan that a header's bands lay down.
#include "HytemDecoderFixture.h"

namespace hytem_test {
namespace {
class ScanPlanTest : public HytemDecoderTest {
 protected:
  std::optional<double> FreqHz(int e) const { return Number(g_nAttrScanLogFreq, e, kPlan); }
  std::optional<std::string> FreqText(int e) const { return Text(g_nAttrScanLogFreqStr, e, kPlan); }
  std::optional<double> BandStart(int j) const { return Number(g_nAttrScanLogHytemBandStartIdx, j, kPlan); }

  // The plan's frequencies in MHz (from the hertz values), up to the first gap.
  std::vector<double> PlanMHz() const {
    std::vector<double> out;
    for (int e = 0; FreqHz(e); ++e) out.push_back(*FreqHz(e) / 1e6);
    return out;
  }
  void ExpectPlan(const std::vector<double>& mhz, const std::vector<std::string>& texts) const {
    std::vector<double> got = PlanMHz();
    ASSERT_EQ(got.size(), mhz.size());
    for (size_t e = 0; e < mhz.size(); ++e) {
      EXPECT_NEAR(got[e], mhz[e], 1e-9) << "element " << e;
      EXPECT_EQ(FreqText(static_cast<int>(e)), texts[e]) << "element " << e;
    }
  }
  void ExpectBandStarts(const std::vector<double>& starts) const {
    for (size_t j = 0; j < starts.size(); ++j) EXPECT_EQ(BandStart(static_cast<int>(j)), starts[j]) << "band " << j;
    EXPECT_FALSE(BandStart(static_cast<int>(starts.size())));
  }
};

TEST_F(ScanPlanTest, OneBandWithHalfStepTolerance) {
  DecodePlan({{"100.0", "100.1", "25"}});
  ExpectPlan({100.0, 100.025, 100.05, 100.075, 100.1},
             {"100.000 MHz", "100.025 MHz", "100.050 MHz", "100.075 MHz", "100.100 MHz"});
  ExpectBandStarts({0, 5});
  // The whole plan lies in the plan's scope.
  for (const auto& w : ds.GetWrites()) EXPECT_EQ(w.nScope, kPlan);
  EXPECT_FALSE(Has(g_nAttrScanLogFreq, 0, kMsg));
}

TEST_F(ScanPlanTest, TwoBandsNumberedWithoutGap) {
  DecodePlan({{"100.0", "100.1", "25"}, {"200.0", "200.05", "25"}});
  ExpectPlan({100.0, 100.025, 100.05, 100.075, 100.1, 200.0, 200.025, 200.05},
             {"100.000 MHz", "100.025 MHz", "100.050 MHz", "100.075 MHz", "100.100 MHz", "200.000 MHz",
              "200.025 MHz", "200.050 MHz"});
  ExpectBandStarts({0, 5, 8});
}

TEST_F(ScanPlanTest, NoBandsWritesOnlyTheFirstStartIndex) {
  for (const char* count : {"0", "abc", "-3"}) {
    ds.Clear();
    Decode(kHytemMsgClassHeader, {{"nbScannedBandwidths", count}, {"startFrequencies1", "100"},
                                  {"stopFrequencies1", "101"}, {"frequencyStep1", "25"}});
    ASSERT_EQ(ds.GetWrites().size(), 1u) << count;
    EXPECT_EQ(ds.GetWrites()[0].nAttrId, g_nAttrScanLogHytemBandStartIdx);
    EXPECT_EQ(ds.GetWrites()[0].nIndex, 0);
    EXPECT_EQ(ds.GetWrites()[0].nValue, 0);
    EXPECT_EQ(ds.GetWrites()[0].nScope, kPlan);
  }
}

TEST_F(ScanPlanTest, WithoutTheCountNothingIsWritten) {
  Decode(kHytemMsgClassHeader, {{"startFrequencies1", "100"}, {"stopFrequencies1", "101"}, {"frequencyStep1", "25"}});
  EXPECT_TRUE(ds.GetWrites().empty());
}

TEST_F(ScanPlanTest, MissingBandFieldEndsThePlanThere) {
  Decode(kHytemMsgClassHeader, {{"nbScannedBandwidths", "3"},
                                {"startFrequencies1", "100.0"},
                                {"stopFrequencies1", "100.1"},
                                {"frequencyStep1", "25"},
                                {"startFrequencies2", "200.0"},
                                {"frequencyStep2", "25"},
                                {"startFrequencies3", "300.0"},
                                {"stopFrequencies3", "300.1"},
                                {"frequencyStep3", "25"}});
  EXPECT_EQ(PlanMHz().size(), 5u);
  ExpectBandStarts({0, 5});
}

TEST_F(ScanPlanTest, CountBeyondTheDeclaredBandsStopsAtTheFirstMissing) {
  Decode(kHytemMsgClassHeader, {{"nbScannedBandwidths", "2147483647"},
                                {"startFrequencies1", "100.0"},
                                {"stopFrequencies1", "100.1"},
                                {"frequencyStep1", "25"}});
  ExpectBandStarts({0, 5});
}

TEST_F(ScanPlanTest, StepThatDoesNotAdvanceYieldsTheStartOnly) {
  DecodePlan({{"100.0", "100.1", "0"}, {"200.0", "200.05", "25"}, {"300.0", "300.1", "-25"}});
  ExpectPlan({100.0, 200.0, 200.025, 200.05, 300.0},
             {"100.000 MHz", "200.000 MHz", "200.025 MHz", "200.050 MHz", "300.000 MHz"});
  ExpectBandStarts({0, 1, 4, 5});
}

TEST_F(ScanPlanTest, StepThatDoesNotAdvanceAndStartAboveStopYieldsNothing) {
  DecodePlan({{"101.0", "100.0", "0"}, {"102.0", "100.0", "-25"}, {"103.0", "100.0", "25"}});
  EXPECT_TRUE(PlanMHz().empty());
  ExpectBandStarts({0, 0, 0, 0});
}

TEST_F(ScanPlanTest, StepTooSmallForTheFrequencyYieldsTheStartOnly) {
  // 1 kHz added to 1e20 MHz leaves it unchanged.
  DecodePlan({{"1e20", "2e20", "1"}});
  EXPECT_EQ(PlanMHz().size(), 1u);
  EXPECT_EQ(FreqText(0), "100000000000000000000.000 MHz");
  ExpectBandStarts({0, 1});
}

TEST_F(ScanPlanTest, PlanIsCappedAndLaterBandsStartAtTheCap) {
  ds.SetRecordWrites(false);
  // 0.000001 kHz over 1,000,000 MHz would be 1e15 frequencies.
  DecodePlan({{"0", "1000000", "0.000001"}, {"100.0", "100.1", "25"}});
  EXPECT_TRUE(Has(g_nAttrScanLogFreq, kMaxScanFrequencies - 1, kPlan));
  EXPECT_FALSE(Has(g_nAttrScanLogFreq, kMaxScanFrequencies, kPlan));
  EXPECT_FALSE(Has(g_nAttrScanLogFreqStr, kMaxScanFrequencies, kPlan));
  // Element k holds k steps of 1 millihertz.
  EXPECT_NEAR(*FreqHz(kMaxScanFrequencies - 1), (kMaxScanFrequencies - 1) * 0.001, 1e-6);
  ExpectBandStarts({0, kMaxScanFrequencies, kMaxScanFrequencies});
}

TEST_F(ScanPlanTest, PlanIsCappedByTheBytesOfItsTexts) {
  ds.SetRecordWrites(false);
  // Texts of 318 characters ("-1000...000.000 MHz") cost 20 units each: a
  // plan of a million units holds 50,000 of them, and a later band of short
  // texts starts and ends where the plan was cut.
  DecodePlan({{"-1e308", "1e308", "1e300"}, {"100.0", "100.1", "25"}});
  ASSERT_TRUE(FreqText(0));
  EXPECT_EQ(FreqText(0)->size(), 318u);
  const int nFit = kMaxScanFrequencies / 20;
  EXPECT_TRUE(Has(g_nAttrScanLogFreqStr, nFit - 1, kPlan));
  EXPECT_FALSE(Has(g_nAttrScanLogFreqStr, nFit, kPlan));
  EXPECT_FALSE(Has(g_nAttrScanLogFreq, nFit, kPlan));
  ExpectBandStarts({0, nFit, nFit});
}
}  // namespace
}  // namespace hytem_test

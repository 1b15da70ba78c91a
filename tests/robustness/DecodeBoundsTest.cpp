// Decoding work stays in proportion to the payload: a scan set-up of
// thousands of bands is read through one index of the header, a repeated
// field name is decoded once, and a frequency plan stops at its cap and at
// the decode device's plan budget.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

#include "HytemDecodeReceiver.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "MemoryDataState.h"
#include "NameValuePayloadBuilder.h"
#include "VyrDecodeDevice.h"
#include "VyrSchema.h"

namespace {
constexpr int kPlan = 0;
constexpr int kMsg = 2147483647;

class DecodeBounds : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ResolveHytemScanAttrIds();
    InitHytemNameValueDefns();
  }
  void SetUp() override {
    receiver.reset(CreateHytemDecodeDevice(CVyrDeviceTypeInfo(115, 0, 0, 0, 0, "Hytem Scanner", "Hytem", 0)));
    ASSERT_NE(nullptr, receiver);
    dataState.SetRecordWrites(true);
    CVyrDecodeDevice::m_prefs.dLevelThreshold = -std::numeric_limits<double>::infinity();
  }

  void Decode(const std::string& payload, int nMsgClass) {
    CVyrGenericHsMessage msg;
    payload.copy(msg.AllocMsgBuf(static_cast<int>(payload.size())), payload.size());
    msg.m_nMsgClass = nMsgClass;
    expanded.Reset();
    dataState.ClearWrites();
    receiver->DecodeMessage(msg, &dataState, expanded, nullptr);
  }

  int Int(const char* pszAttr, int index) const {
    const VyrRetVal v = dataState.GetValue(GetSchemaDefsDynamic()->GetAttrIdByName(pszAttr), index, kPlan);
    return v.m_nStatus == VYR_RV_STATUS_OK ? v.m_value.i32 : -1;
  }
  bool Has(const char* pszAttr, int index, int scope) const {
    return dataState.GetValue(GetSchemaDefsDynamic()->GetAttrIdByName(pszAttr), index, scope).m_nStatus ==
           VYR_RV_STATUS_OK;
  }

  std::unique_ptr<CVyrDecodeDevice> receiver;
  CVyrMemoryDataState dataState;
  CVyrExpandedMessage expanded;
};

TEST_F(DecodeBounds, ThousandsOfBandsUpToTheLookupLimit) {
  // Names 0 and 1 are the version and the band count; band j's three fields
  // are names 3j - 1 to 3j + 1. The lookup reaches names 0 to 10000, so band
  // 3333 (names 9998 to 10000) is the last one found: 3334 is not.
  CNameValuePayloadBuilder builder;
  builder.SetField("Software Version", "V2");
  builder.SetField("nbScannedBandwidths", "3334");
  for (int j = 1; j <= 3334; ++j) {
    const std::string n = std::to_string(j);
    builder.SetField("startFrequencies" + n, std::to_string(100 + j));
    builder.SetField("stopFrequencies" + n, std::to_string(100 + j) + ".05");
    builder.SetField("frequencyStep" + n, "25");
  }
  CVyrGenericHsMessage msg;
  builder.Store(msg);
  Decode(msg.GetMsgBuf(), kHytemMsgClassHeader);
  // Three frequencies a band: start, start + 25 kHz, stop.
  for (int j : {0, 1, 1000, 3333}) EXPECT_EQ(3 * j, Int("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", j)) << j;
  EXPECT_EQ(-1, Int("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", 3334));
  EXPECT_TRUE(Has("ATTR_ID_SCAN_LOG_FREQ", 9998, kPlan));
  EXPECT_FALSE(Has("ATTR_ID_SCAN_LOG_FREQ", 9999, kPlan));
  EXPECT_EQ(1 + 9999 * 2 + 3333, static_cast<int>(dataState.GetWrites().size()));
}

TEST_F(DecodeBounds, RepeatedLevelsFieldIsDecodedOnce) {
  // A column name holding "^" repeats the name Levels in the payload; each
  // repetition would rank the whole first list of levels again.
  Decode("Time^BandNumber^Levels^Levels^Levels^12:00:01;1;-70,-60;1;1;", kHytemMsgClassMeasurement);
  // Two bin levels and three ranked values for each: once.
  EXPECT_EQ(8u, dataState.GetWrites().size());
  const std::string top = "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n0.000\t-60.000\n0.000\t-70.000\n";
  EXPECT_EQ(" Time=12:00:01 Band Number=1" + top, expanded.m_strDetailText.str());
}

TEST_F(DecodeBounds, FrequencyPlanStopsAtItsCap) {
  // 0 to 10^9 MHz in 1 kHz steps would be 10^12 frequencies.
  dataState.SetRecordWrites(false);
  Decode("nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^1;0;1e9;1;", kHytemMsgClassHeader);
  EXPECT_EQ(kMaxScanFrequencies, Int("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", 1));
  EXPECT_TRUE(Has("ATTR_ID_SCAN_LOG_FREQ", kMaxScanFrequencies - 1, kPlan));
  EXPECT_FALSE(Has("ATTR_ID_SCAN_LOG_FREQ", kMaxScanFrequencies, kPlan));
}

TEST_F(DecodeBounds, PlansBeyondTheBudgetAreCutUntilMessagesEarnMore) {
  // Each header asks for 1,000,001 frequencies; the budget starts at two
  // full plans and grows by four frequencies per message byte.
  dataState.SetRecordWrites(false);
  const std::string header = "nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^1;0;1000;1;";
  const int nEarned = static_cast<int>(CHytemPlanBudget::kPerMessageByte) * static_cast<int>(header.size() + 1);
  const std::string levels(1 << 20, '1');  // a 1 MB message earns four million
  struct Step {
    bool bHeader;
    int nPlan;  // the plan's length after the step
  };
  const Step steps[] = {{true, kMaxScanFrequencies}, {true, kMaxScanFrequencies}, {true, 3 * nEarned},
                        {true, nEarned}, {false, nEarned}, {true, kMaxScanFrequencies}};
  for (const Step& step : steps) {
    if (step.bHeader) Decode(header, kHytemMsgClassHeader);
    else Decode("Time^Comment^12:00:01;" + levels + ";", kHytemMsgClassMeasurement);
    EXPECT_EQ(step.nPlan, Int("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", 1));
  }
}

TEST_F(DecodeBounds, HugeFrequencyTextsSpendTheBudgetByTheirBytes) {
  // The 171-byte header of 1e308 frequencies: each text costs 20 units, so a
  // plan holds 50,000 of them, the budget two such plans, and a third header
  // only what the messages since have earned.
  dataState.SetRecordWrites(false);
  const std::string header =
      "nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^1;-1e308;1e308;1e300;";
  const int nEarned = static_cast<int>(CHytemPlanBudget::kPerMessageByte) * static_cast<int>(header.size() + 1);
  const int nPlans[] = {kMaxScanFrequencies / 20, kMaxScanFrequencies / 20, 3 * nEarned / 20};
  for (int nPlan : nPlans) {
    Decode(header, kHytemMsgClassHeader);
    EXPECT_EQ(nPlan, Int("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", 1));
  }
}
}  // namespace

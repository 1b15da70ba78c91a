// The HYTEM field table and what each kind of row does to a payload field.
#include <cstring>

#include "HytemDecoderFixture.h"

namespace hytem_test {
namespace {
struct ExpectedRow {
  const char* name;
  int type;
  const char* label;
  int format;
  int unit;
  const char* attr;  // schema name, or null
  int index;
  NameValueCallback callback;
};

const ExpectedRow kExpected[] = {
    {"Time", 11, "Time", 0, 0, nullptr, 0, nullptr},
    {"Date", 11, "Date", 0, 0, nullptr, 0, nullptr},
    {"Software Version", 11, "Software Version", 0, 0, nullptr, 0, nullptr},
    {"indexBand", 3, "", 0, 0, nullptr, 0, nullptr},
    {"nbFrequencies", 3, "Number of freq.", 1001, 9, "ATTR_ID_SCAN_LOG_NUM_FREQUENCIES", 0, nullptr},
    {"bandWidth", 3, "BandWidth", 0, 0, nullptr, 0, nullptr},
    {"command", 3, "", 0, 0, nullptr, 0, nullptr},
    {"delayBetweenMeasurement", 3, "Delay between measurements", 0, 0, nullptr, 0, nullptr},
    {"frequency1", 7, "Frequency 1", 244, 38, "ATTR_ID_SCAN_LOG_FREQ", 0, DecodeFreqText},
    {"frequency2", 7, "Frequency 2", 244, 38, "ATTR_ID_SCAN_LOG_FREQ", 1, DecodeFreqText},
    {"frequency3", 7, "Frequency 3", 244, 38, "ATTR_ID_SCAN_LOG_FREQ", 2, DecodeFreqText},
    {"frequency4", 7, "Frequency 4", 244, 38, "ATTR_ID_SCAN_LOG_FREQ", 3, DecodeFreqText},
    {"Latitude", 11, "", 0, 0, nullptr, 0, nullptr},
    {"NS", 11, "", 0, 0, nullptr, 0, nullptr},
    {"Longitude", 11, "", 0, 0, nullptr, 0, nullptr},
    {"WE", 11, "", 0, 0, nullptr, 0, nullptr},
    {"Validity", 11, "", 0, 0, nullptr, 0, nullptr},
    {"Average", 7, "RSSI (average)", 243, 1, "ATTR_ID_SCAN_BIN_DB_MEAN", 0, ApplyLevelFloor},
    {"ColorAv", 0, "", 0, 0, nullptr, 0, nullptr},
    {"Minimum", 7, "RSSI (min)", 243, 1, "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL", 0, ApplyLevelFloor},
    {"ColorMin", 0, "", 0, 0, nullptr, 0, nullptr},
    {"Maximum", 7, "RSSI (max)", 243, 1, "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL", 0, ApplyLevelFloor},
    {"ColorMax", 0, "", 0, 0, nullptr, 0, nullptr},
    {"Median", 7, "RSSI (median)", 243, 1, nullptr, 0, nullptr},
    {"StdDev", 7, "RSSI (std dev)", 245, 2, "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL", 0, nullptr},
    {"ColorMed", 0, "", 0, 0, nullptr, 0, nullptr},
    {"Ref1", 7, "", 0, 0, nullptr, 0, nullptr},
    {"Ref2", 7, "", 0, 0, nullptr, 0, nullptr},
    {"BandNumber", 3, "Band Number", 0, 0, nullptr, 0, nullptr},
    {"Levels", 7, "", 0, 0, nullptr, 0, DecodeBandLevels},
    {"Level1", 7, "", 243, 1, "ATTR_ID_SCAN_BIN_DB_MEAN", 0, DecodeChannelLevel},
    {"Level2", 7, "", 243, 1, "ATTR_ID_SCAN_BIN_DB_MEAN", 1, DecodeChannelLevel},
    {"Level3", 7, "", 243, 1, "ATTR_ID_SCAN_BIN_DB_MEAN", 2, DecodeChannelLevel},
    {"Level4", 7, "", 243, 1, "ATTR_ID_SCAN_BIN_DB_MEAN", 3, DecodeChannelLevel},
    {"nbScannedBandwidths", 3, "", 0, 0, nullptr, 0, DecodeScanBands},
};

using FieldTableTest = HytemDecoderTest;

TEST_F(FieldTableTest, RowsInOrderWithResolvedAttributes) {
  ASSERT_EQ(s_nHytemNameValueDefns, 35);
  for (int r = 0; r < s_nHytemNameValueDefns; ++r) {
    const NameValueDefn& d = s_HytemNameValueDefns[r];
    const ExpectedRow& e = kExpected[r];
    SCOPED_TRACE("row " + std::to_string(r));
    EXPECT_STREQ(d.pszName, e.name);
    EXPECT_EQ(d.nType, e.type);
    ASSERT_NE(d.pszLabel, nullptr);
    EXPECT_STREQ(d.pszLabel, e.label);
    EXPECT_EQ(d.nFormat, e.format);
    EXPECT_EQ(d.nUnit, e.unit);
    EXPECT_EQ(d.nAttrId, e.attr ? AttrId(e.attr) : 0);
    if (e.attr) {
      EXPECT_NE(d.nAttrId, 0);
    }
    EXPECT_EQ(d.nIndex, e.index);
    EXPECT_EQ(d.pfnCallback, e.callback);
  }
}

TEST_F(FieldTableTest, ScanAttributeIdsResolvedByName) {
  EXPECT_EQ(g_nAttrScanLogFreqStr, AttrId("ATTR_ID_SCAN_LOG_FREQ_STR"));
  EXPECT_EQ(g_nAttrScanLogHytemBandStartIdx, AttrId("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX"));
  EXPECT_EQ(g_nAttrScanLogFreq, AttrId("ATTR_ID_SCAN_LOG_FREQ"));
  EXPECT_EQ(g_nAttrScanBinDbMean, AttrId("ATTR_ID_SCAN_BIN_DB_MEAN"));
  EXPECT_EQ(g_nAttrScanSortSigLevelBySigLev, AttrId("ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV"));
  EXPECT_EQ(g_nAttrScanSortIndexBySigLev, AttrId("ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV"));
  EXPECT_EQ(g_nAttrScanSortFreqBySigLev, AttrId("ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV"));
  EXPECT_NE(g_nAttrScanLogFreqStr, 0);
}

TEST_F(FieldTableTest, MapFilledFromTheTableFindsNamesExactly) {
  auto map = CreateNameValueDefnMap();
  for (int r = 0; r < s_nHytemNameValueDefns; ++r) map->SetAt(s_HytemNameValueDefns[r].pszName, s_HytemNameValueDefns[r]);
  EXPECT_EQ(map->GetCount(), 35);
  NameValueDefn d{};
  ASSERT_TRUE(map->Lookup("frequency1", d));
  EXPECT_EQ(d.nType, 7);
  EXPECT_STREQ(d.pszLabel, "Frequency 1");
  EXPECT_EQ(d.nUnit, 38);
  EXPECT_EQ(d.nIndex, 0);
  EXPECT_FALSE(map->Lookup("Frequency1", d));
  EXPECT_FALSE(map->Lookup("frequency", d));
  EXPECT_FALSE(map->Lookup("BandWidth", d));
}

TEST_F(FieldTableTest, TextOnlyRowsEchoTheirLabels) {
  Decode(kHytemMsgClassMeasurement, {{"Time", "12:00:01"},
                                     {"Date", "03/15/05"},
                                     {"Software Version", "2.1"},
                                     {"bandWidth", "25"},
                                     {"delayBetweenMeasurement", "500"},
                                     {"BandNumber", "2"}});
  EXPECT_EQ(expanded.m_strDetailText,
            " Time=12:00:01 Date=03/15/05 Software Version=2.1 BandWidth=25 Delay between measurements=500"
            " Band Number=2");
  EXPECT_TRUE(ds.GetWrites().empty());
}

TEST_F(FieldTableTest, IgnoredAndUnknownFieldsLeaveNoTrace) {
  Decode(kHytemMsgClassMeasurement, {{"indexBand", "1"},  {"command", "3"},    {"Latitude", "48.1"},
                                     {"NS", "N"},         {"Longitude", "2.3"}, {"WE", "E"},
                                     {"Validity", "A"},   {"Ref1", "-90"},     {"Ref2", "-91"},
                                     {"ColorAv", "5"},    {"ColorMin", "5"},   {"ColorMax", "5"},
                                     {"ColorMed", "5"},   {"BandWidth", "25"}, {"frequency", "100"},
                                     {"Levels2", "-80"}});
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_TRUE(ds.GetWrites().empty());
}

TEST_F(FieldTableTest, CountRowWritesItsAttributeAndText) {
  Decode(kHytemMsgClassHeader, {{"nbFrequencies", "101"}});
  const int attr = AttrId("ATTR_ID_SCAN_LOG_NUM_FREQUENCIES");
  EXPECT_EQ(Number(attr, 0, kMsg), 101.0);
  EXPECT_EQ(expanded.m_strDetailText, " Number of freq.=101");
}

TEST_F(FieldTableTest, MedianShowsInTextAndWritesNothing) {
  Decode(kHytemMsgClassMeasurement, {{"Median", "-80.5"}});
  EXPECT_EQ(expanded.m_strDetailText, " RSSI (median)=-80.5");
  EXPECT_TRUE(ds.GetWrites().empty());
}

TEST_F(FieldTableTest, StatisticsRowsWriteTheirAttributes) {
  Decode(kHytemMsgClassMeasurement,
         {{"Average", "-80.5"}, {"Minimum", "-90"}, {"Maximum", "-70"}, {"StdDev", "3.25"}});
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -80.5);
  EXPECT_EQ(Number(AttrId("ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL"), 0, kMsg), -90.0);
  EXPECT_EQ(Number(AttrId("ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL"), 0, kMsg), -70.0);
  EXPECT_EQ(Number(AttrId("ATTR_ID_SCAN_BIN_STDDEV_SIGNAL"), 0, kMsg), 3.25);
  EXPECT_EQ(expanded.m_strDetailText, " RSSI (average)=-80.5 RSSI (min)=-90 RSSI (max)=-70 RSSI (std dev)=3.25");
}

TEST_F(FieldTableTest, AverageAndLevel1ShareTheirElementAndTheLaterWins) {
  Decode(kHytemMsgClassMeasurement, {{"Average", "-80"}, {"Level1", "-60"}});
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -60.0);
  ds.Clear();
  Decode(kHytemMsgClassMeasurement, {{"Level1", "-60"}, {"Average", "-80"}});
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -80.0);
}

TEST_F(FieldTableTest, RoutineOnlyRowsWriteNothingThemselvesWithoutTheirData) {
  // "Levels" without "BandNumber" and "nbScannedBandwidths" without bands:
  // the routines do what they can, the generic steps nothing.
  Decode(kHytemMsgClassMeasurement, {{"Levels", "-80,-70"}});
  EXPECT_TRUE(ds.GetWrites().empty());
  EXPECT_EQ(expanded.m_strDetailText, "");
}
}  // namespace
}  // namespace hytem_test

#include "HytemNameValueDefns.h"

#include <iterator>

#include "HytemScanDecoding.h"

namespace {
// Formats of the values, for the host's display.
constexpr int kFmtLevel = 243;
constexpr int kFmtFrequency = 244;
constexpr int kFmtDeviation = 245;
constexpr int kFmtCount = 1001;

// Units in which the log states the values.
constexpr int kUnitNone = 0;
constexpr int kUnitDbm = 1;
constexpr int kUnitDb = 2;
constexpr int kUnitCount = 9;
constexpr int kUnitMHz = 38;

constexpr int kText = 11;
constexpr int kInt = 3;
constexpr int kReal = 7;
constexpr int kIgnored = 0;
}  // namespace

// Attribute ids are 0 here; InitHytemNameValueDefns fills them in.
NameValueDefn s_HytemNameValueDefns[] = {
    {"Time", kText, "Time", 0, kUnitNone, 0, 0, nullptr},
    {"Date", kText, "Date", 0, kUnitNone, 0, 0, nullptr},
    {"Software Version", kText, "Software Version", 0, kUnitNone, 0, 0, nullptr},
    {"indexBand", kInt, "", 0, kUnitNone, 0, 0, nullptr},
    {"nbFrequencies", kInt, "Number of freq.", kFmtCount, kUnitCount, 0, 0, nullptr},
    {"bandWidth", kInt, "BandWidth", 0, kUnitNone, 0, 0, nullptr},
    {"command", kInt, "", 0, kUnitNone, 0, 0, nullptr},
    {"delayBetweenMeasurement", kInt, "Delay between measurements", 0, kUnitNone, 0, 0, nullptr},
    {"frequency1", kReal, "Frequency 1", kFmtFrequency, kUnitMHz, 0, 0, DecodeFreqText},
    {"frequency2", kReal, "Frequency 2", kFmtFrequency, kUnitMHz, 0, 1, DecodeFreqText},
    {"frequency3", kReal, "Frequency 3", kFmtFrequency, kUnitMHz, 0, 2, DecodeFreqText},
    {"frequency4", kReal, "Frequency 4", kFmtFrequency, kUnitMHz, 0, 3, DecodeFreqText},
    {"Latitude", kText, "", 0, kUnitNone, 0, 0, nullptr},
    {"NS", kText, "", 0, kUnitNone, 0, 0, nullptr},
    {"Longitude", kText, "", 0, kUnitNone, 0, 0, nullptr},
    {"WE", kText, "", 0, kUnitNone, 0, 0, nullptr},
    {"Validity", kText, "", 0, kUnitNone, 0, 0, nullptr},
    {"Average", kReal, "RSSI (average)", kFmtLevel, kUnitDbm, 0, 0, ApplyLevelFloor},
    {"ColorAv", kIgnored, "", 0, kUnitNone, 0, 0, nullptr},
    {"Minimum", kReal, "RSSI (min)", kFmtLevel, kUnitDbm, 0, 0, ApplyLevelFloor},
    {"ColorMin", kIgnored, "", 0, kUnitNone, 0, 0, nullptr},
    {"Maximum", kReal, "RSSI (max)", kFmtLevel, kUnitDbm, 0, 0, ApplyLevelFloor},
    {"ColorMax", kIgnored, "", 0, kUnitNone, 0, 0, nullptr},
    // The schema holds no median attribute: the median shows in the detail text only.
    {"Median", kReal, "RSSI (median)", kFmtLevel, kUnitDbm, 0, 0, nullptr},
    {"StdDev", kReal, "RSSI (std dev)", kFmtDeviation, kUnitDb, 0, 0, nullptr},
    {"ColorMed", kIgnored, "", 0, kUnitNone, 0, 0, nullptr},
    {"Ref1", kReal, "", 0, kUnitNone, 0, 0, nullptr},
    {"Ref2", kReal, "", 0, kUnitNone, 0, 0, nullptr},
    {"BandNumber", kInt, "Band Number", 0, kUnitNone, 0, 0, nullptr},
    {"Levels", kReal, "", 0, kUnitNone, 0, 0, DecodeBandLevels},
    {"Level1", kReal, "", kFmtLevel, kUnitDbm, 0, 0, DecodeChannelLevel},
    {"Level2", kReal, "", kFmtLevel, kUnitDbm, 0, 1, DecodeChannelLevel},
    {"Level3", kReal, "", kFmtLevel, kUnitDbm, 0, 2, DecodeChannelLevel},
    {"Level4", kReal, "", kFmtLevel, kUnitDbm, 0, 3, DecodeChannelLevel},
    {"nbScannedBandwidths", kInt, "", 0, kUnitNone, 0, 0, DecodeScanBands},
};

const int s_nHytemNameValueDefns = static_cast<int>(std::size(s_HytemNameValueDefns));
static_assert(std::size(s_HytemNameValueDefns) == 35);

namespace {
// The rows that name an attribute, in row order, with its schema name.
struct HytemRowAttribute {
  int nRow;
  const char* pszAttrName;
};
constexpr HytemRowAttribute kRowAttributes[] = {
    {4, "ATTR_ID_SCAN_LOG_NUM_FREQUENCIES"},
    {8, "ATTR_ID_SCAN_LOG_FREQ"},
    {9, "ATTR_ID_SCAN_LOG_FREQ"},
    {10, "ATTR_ID_SCAN_LOG_FREQ"},
    {11, "ATTR_ID_SCAN_LOG_FREQ"},
    {17, "ATTR_ID_SCAN_BIN_DB_MEAN"},
    {19, "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL"},
    {21, "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL"},
    {24, "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL"},
    {30, "ATTR_ID_SCAN_BIN_DB_MEAN"},
    {31, "ATTR_ID_SCAN_BIN_DB_MEAN"},
    {32, "ATTR_ID_SCAN_BIN_DB_MEAN"},
    {33, "ATTR_ID_SCAN_BIN_DB_MEAN"},
};
}  // namespace

void InitHytemNameValueDefns() {
  // The schema is asked afresh for each row, in row order.
  for (const HytemRowAttribute& a : kRowAttributes)
    s_HytemNameValueDefns[a.nRow].nAttrId = ResolveHytemAttrId(a.pszAttrName);
}

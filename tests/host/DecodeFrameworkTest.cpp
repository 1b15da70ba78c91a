// The decode framework's services: units, schema and format groups, the scan
// sort, civil times, and the decode-device registry.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "CTime.h"
#include "VyrDecodeDevice.h"
#include "VyrGenericHsMessage.h"
#include "VyrScanSort.h"
#include "VyrSchema.h"
#include "VyrTime.h"

namespace {
TEST(UnitsConverter, ConvertsFrequenciesExactly) {
  const struct {
    int from, to;
    double value, expected;
  } cases[] = {
      {UT_MHZ, UT_HZ, 145.5, 145500000.0}, {UT_HZ, UT_MHZ, 145500000.0, 145.5}, {UT_KHZ, UT_HZ, 12.5, 12500.0},
      {UT_HZ, UT_KHZ, 12500.0, 12.5},      {UT_GHZ, UT_HZ, 2.5, 2500000000.0},   {UT_MHZ, UT_GHZ, 2500.0, 2.5},
      {UT_GHZ, UT_MHZ, 2.5, 2500.0},       {UT_KHZ, UT_MHZ, 1250.0, 1.25},
      // Equal units, no unit and units of different kinds: unchanged.
      {UT_MHZ, UT_MHZ, 145.1, 145.1},      {UT_UNKNOWN, UT_HZ, 7.5, 7.5},        {UT_HZ, UT_UNKNOWN, 7.5, 7.5},
      {UT_UNKNOWN, UT_UNKNOWN, -3.0, -3.0}, {UT_DBM, UT_HZ, -80.0, -80.0},       {UT_MHZ, UT_DBM, 145.5, 145.5},
  };
  const CVyrUnitsConverter* uc = GetUnitsConverter();
  ASSERT_NE(uc, nullptr);
  for (const auto& c : cases)
    EXPECT_EQ(uc->ucConvert(c.from, c.to, c.value), c.expected) << c.from << " -> " << c.to << " of " << c.value;
}

const char* const kScanAttributes[] = {
    "ATTR_ID_SCAN_LOG_NUM_FREQUENCIES", "ATTR_ID_SCAN_LOG_FREQ",
    "ATTR_ID_SCAN_LOG_FREQ_STR",        "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX",
    "ATTR_ID_SCAN_BIN_DB_MEAN",         "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL",
    "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL",   "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL",
    "ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV", "ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV",
    "ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV",
};

TEST(Schema, ScanAttributesByNameAndUnknownOnes) {
  const IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  ASSERT_NE(schema, nullptr);
  std::set<int> ids;
  for (const char* name : kScanAttributes) {
    int id = schema->GetAttrIdByName(name);
    EXPECT_NE(id, 0) << name;
    ids.insert(id);
    ASSERT_NE(schema->GetAttrDefnById(id), nullptr) << name;
    EXPECT_STREQ(schema->GetAttrNameById(id), name);
  }
  EXPECT_EQ(ids.size(), std::size(kScanAttributes));
  for (const char* unknown : {"ATTR_ID_NO_SUCH_THING", "attr_id_scan_log_freq", ""})
    EXPECT_EQ(schema->GetAttrIdByName(unknown), 0) << unknown;
  EXPECT_EQ(schema->GetAttrIdByName(nullptr), 0);
  for (int id : {0, -1, INT_MAX, INT_MIN}) EXPECT_EQ(schema->GetAttrDefnById(id), nullptr) << id;
}

// The unit of an attribute, found the way decoders find it; -1 when none.
int UnitOf(const char* name) {
  const IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  const CVyrAttrDefn* defn = schema->GetAttrDefnById(schema->GetAttrIdByName(name));
  if (!defn) return UT_UNKNOWN;
  const CVyrFormatGroupEntry* entry = GetFormatGroupManager()->fgGetFormatGroupEntry(defn->nFormatGroup);
  return entry ? entry->nUnitType : UT_UNKNOWN;
}

TEST(Schema, FormatGroupsGiveTheUnits) {
  EXPECT_EQ(UnitOf("ATTR_ID_SCAN_LOG_FREQ"), UT_HZ);
  EXPECT_EQ(UnitOf("ATTR_ID_SCAN_BIN_DB_MEAN"), UT_DBM);
  EXPECT_EQ(UnitOf("ATTR_ID_SCAN_LOG_FREQ_STR"), UT_UNKNOWN);  // texts have no unit
  EXPECT_EQ(UnitOf("ATTR_ID_NO_SUCH_THING"), UT_UNKNOWN);
  const CVyrFormatGroupManager* fg = GetFormatGroupManager();
  for (int group : {-1, 0, 1000, INT_MIN}) EXPECT_EQ(fg->fgGetFormatGroupEntry(group), nullptr) << group;
}

TEST(ScanSort, StrongestFirstStableForEqualLevels) {
  const std::int32_t levels[] = {-80000, -50000, -90000, -50000, -70000, -50000};
  std::vector<CWScanMeasurementStruct> v;
  for (std::int32_t i = 0; i < 6; ++i) v.push_back({i, 3000000000LL + i, 0, levels[i], 0});
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(v.data(), static_cast<int>(v.size()));
  const std::int32_t order[] = {1, 3, 5, 4, 0, 2};
  for (size_t k = 0; k < v.size(); ++k) {
    EXPECT_EQ(v[k].nIndex, order[k]) << k;
    EXPECT_EQ(v[k].llFreqHz, 3000000000LL + order[k]);  // records move whole
  }
  // None or one record: nothing moves.
  for (int n : {1, 0, -5}) NVyrDecodeDeviceUtils::CWScanSortByRxLev(&v[4], n);
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(nullptr, 3);
  EXPECT_EQ(v[4].nIndex, 0);
  EXPECT_EQ(v[5].nIndex, 2);
}

constexpr std::int64_t kDay = 86400000;

TEST(MilliSecAbsTime, CivilDatesToMilliseconds) {
  const struct {
    int y, mo, d, h, mi, s;
    std::int64_t expected;
  } cases[] = {
      {1970, 1, 1, 0, 0, 0, 0},          {1969, 12, 31, 0, 0, 0, -kDay},
      {2005, 3, 15, 0, 0, 0, 12857 * kDay}, {2005, 3, 15, 12, 0, 1, 12857 * kDay + 43201000},
      {2004, 2, 29, 0, 0, 0, 12477 * kDay}, {2004, 3, 1, 0, 0, 0, 12478 * kDay},
      // Months and days out of range roll over: 2004-12-15, 2005-01-01, 2005-02-28, 2005-02-01.
      {2005, 0, 15, 0, 0, 0, 12767 * kDay}, {2004, 13, 1, 0, 0, 0, 12784 * kDay},
      {2005, 3, 0, 0, 0, 0, 12842 * kDay},  {2005, 1, 32, 0, 0, 0, 12815 * kDay},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CVyrMilliSecAbsTime(c.y, c.mo, c.d, c.h, c.mi, c.s).GetMs(), c.expected)
        << c.y << "-" << c.mo << "-" << c.d;
  EXPECT_EQ(CVyrMilliSecAbsTime(CTime(1110844800), 250).GetMs(), 1110844800250);
}

TEST(MilliSecAbsTime, AbsurdDatesSaturate) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(CVyrMilliSecAbsTime(INT_MAX, 1, 1, 0, 0, 0).GetMs(), kMax);
  EXPECT_EQ(CVyrMilliSecAbsTime(INT_MIN, 1, 1, 0, 0, 0).GetMs(), kMin);
  EXPECT_EQ(CVyrMilliSecAbsTime(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX).GetMs(), kMax);
  EXPECT_EQ(CVyrMilliSecAbsTime(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN).GetMs(), kMin);
  // In range despite extreme months and days: later than the plain date.
  EXPECT_GT(CVyrMilliSecAbsTime(2005, INT_MAX, INT_MAX, 0, 0, 0).GetMs(), 12857 * kDay);
}

TEST(MilliSecAbsTime, FormatIso8601) {
  const struct {
    std::int64_t ms;
    const char* text;
  } cases[] = {
      {0, "1970-01-01T00:00:00.000"}, {-1, "1969-12-31T23:59:59.999"},
      {12857 * kDay + 43201023, "2005-03-15T12:00:01.023"},
      {std::numeric_limits<std::int64_t>::max(), "292278994-08-17T07:12:55.807"},
      {std::numeric_limits<std::int64_t>::min(), "-292275055-05-16T16:47:04.192"},
  };
  for (const auto& c : cases) {
    CVyrMilliSecAbsTime t;
    t.SetMs(c.ms);
    EXPECT_EQ(t.FormatIso8601(), c.text) << c.ms;
  }
}

// The payload is written without a terminator: the n characters copied in
// must read back as the whole text, however long the text before was.
TEST(GenericHsMessage, PayloadReadsBackAsTheCharactersCopiedIn) {
  CVyrGenericHsMessage msg;
  EXPECT_EQ(msg.GetMsgBuf(), nullptr);
  std::memcpy(msg.AllocMsgBuf(8), "a^b^1;2;", 8);
  EXPECT_STREQ(msg.GetMsgBuf(), "a^b^1;2;");
  std::memcpy(msg.AllocMsgBuf(4), "x^9;", 4);
  EXPECT_STREQ(msg.GetMsgBuf(), "x^9;");
  EXPECT_EQ(msg.GetMsgBufLen(), 4);
  msg.AllocMsgBuf(0);
  const char* empty = msg.GetMsgBuf();
  EXPECT_TRUE(empty == nullptr || *empty == '\0');
  EXPECT_EQ(msg.GetMsgBufLen(), 0);
}

// The payload index belongs to the payload it was made for: whatever may
// change the payload drops it.
TEST(GenericHsMessage, PayloadIndexGoesWithItsPayload) {
  CVyrGenericHsMessage msg;
  VyrPayloadIndex index;
  EXPECT_FALSE(msg.GetPayloadIndex(index));
  std::memcpy(msg.AllocMsgBuf(8), "a^b^1;2;", 8);
  EXPECT_FALSE(msg.GetPayloadIndex(index));
  std::uint32_t* ends = msg.AllocPayloadIndex(4, 2);
  ends[0] = 5;
  ends[1] = 7;
  ASSERT_TRUE(msg.GetPayloadIndex(index));
  EXPECT_EQ(index.nNamesLength, 4u);
  ASSERT_EQ(index.nValues, 2u);
  EXPECT_EQ(index.pValueEnds[1], 7u);
  const CVyrGenericHsMessage copy = msg;
  EXPECT_TRUE(copy.GetPayloadIndex(index));
  msg.GetMsgBufForWrite();
  EXPECT_FALSE(msg.GetPayloadIndex(index));
  msg.AllocPayloadIndex(4, 2);
  std::memcpy(msg.AllocMsgBuf(4), "x^9;", 4);
  EXPECT_FALSE(msg.GetPayloadIndex(index));
  msg.AllocPayloadIndex(2, 1);
  msg.Reset();
  EXPECT_FALSE(msg.GetPayloadIndex(index));
}

CVyrDecodeDevice* CreatePlainDevice(const CVyrDeviceTypeInfo& info) { return new CVyrDecodeDevice(info); }

const CVyrDecodeDeviceFactoryHelper s_testDevice(CVyrDeviceTypeInfo(4242, 1, 0, 0, 0, "Test Scanner", "Test", 0),
                                                 &CreatePlainDevice, true, "opt");

TEST(DecodeDeviceFactory, FindsTheRegistrationByDeviceType) {
  CVyrDecodeDeviceFactoryHelper::Registration r;
  ASSERT_TRUE(CVyrDecodeDeviceFactoryHelper::FindByDeviceType(4242, r));
  EXPECT_EQ(r.info.m_strName, "Test Scanner");
  ASSERT_EQ(r.pfnCreate, &CreatePlainDevice);
  CVyrDecodeDevice* device = r.pfnCreate(r.info);
  EXPECT_EQ(device->GetDeviceTypeInfo().m_nDeviceType, 4242);
  delete device;
  EXPECT_FALSE(CVyrDecodeDeviceFactoryHelper::FindByDeviceType(4243, r));
  EXPECT_FALSE(CVyrDecodeDeviceFactoryHelper::FindByDeviceType(0, r));
}
}  // namespace

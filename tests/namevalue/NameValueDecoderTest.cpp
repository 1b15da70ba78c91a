// The generic decoding of payloads through a definition map.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryDataState.h"
#include "NameValueDecoder.h"
#include "NameValuePayload.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"
#include "VyrSchema.h"

namespace {
using Op = CVyrMemoryDataState::Op;
using Kind = CVyrMemoryDataState::Kind;
constexpr int kMsgScope = 2147483647;
constexpr int kUnitMHz = 38;
constexpr int kLevelAttr = 105;  // an attribute of this host that is not a frequency

int AttrId(const char* name) { return GetSchemaDefsDynamic()->GetAttrIdByName(name); }

// The routines record which fields they ran for; one of them throws.
std::vector<std::string> g_calls;
void RecordCall(const CVyrGenericHsMessage&, const NameValueDefn* d, IVyrDataState*, CVyrExpandedMessage*,
                CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  g_calls.push_back(d->pszName);
}
void ThrowingCall(const CVyrGenericHsMessage& m, const NameValueDefn* d, IVyrDataState* s, CVyrExpandedMessage* e,
                  CVyrDecodeReceiver* r, IKelCellRefs_Search* f) {
  RecordCall(m, d, s, e, r, f);
  throw std::runtime_error("routine failed");
}

class NameValueDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    ds.SetRecordWrites(true);
  }

  void Define(const char* name, int type, const char* label, int attr, int index, int unit = 0,
              NameValueCallback cb = nullptr) {
    NameValueDefn d{name, type, label, 0, unit, attr, index, cb};
    map->SetAt(name, d);
  }
  void Decode(const std::string& payload) {
    CVyrGenericHsMessage msg;
    char* buf = msg.AllocMsgBuf(static_cast<int>(payload.size()));
    std::memcpy(buf, payload.data(), payload.size());
    decoder.Decode(msg, *map);
  }
  // The writes as "attr:index:scope=value" texts, in order.
  std::vector<std::string> Writes() const {
    std::vector<std::string> out;
    for (const auto& w : ds.GetWrites()) {
      std::string v = w.op == Op::Clear          ? "clear"
                      : w.kind == Kind::Text     ? "'" + w.strValue + "'"
                      : w.kind == Kind::Int      ? std::to_string(w.nValue)
                                                 : std::to_string(w.dValue);
      out.push_back(std::to_string(w.nAttrId) + ":" + std::to_string(w.nIndex) + ":" + std::to_string(w.nScope) +
                    "=" + v);
    }
    return out;
  }

  CVyrMemoryDataState ds;
  CVyrExpandedMessage expanded;
  std::unique_ptr<NameValueDefnMap> map = CreateNameValueDefnMap();
  NameValueDecoder decoder{&ds, &expanded, nullptr, nullptr};
};

std::string At(int attr, int index, const std::string& value, int scope = kMsgScope) {
  return std::to_string(attr) + ":" + std::to_string(index) + ":" + std::to_string(scope) + "=" + value;
}
std::string Real(double d) { return std::to_string(d); }

TEST_F(NameValueDecoderTest, FieldsWithoutDefinitionAreSkipped) {
  Define("a", 7, "A", 11, 0);
  Define("c", 7, "C", 13, 0);
  Decode("a^b^c^1;2;3;");
  EXPECT_EQ(Writes(), (std::vector<std::string>{At(11, 0, Real(1)), At(13, 0, Real(3))}));
  EXPECT_EQ(expanded.m_strDetailText, " A=1 C=3");
}

TEST_F(NameValueDecoderTest, AttributeZeroRunsOnlyTextAndRoutine) {
  Define("a", 7, "A", 0, 0, 0, RecordCall);
  Decode("a^5;");
  EXPECT_TRUE(ds.GetWrites().empty());
  EXPECT_EQ(expanded.m_strDetailText, " A=5");
  EXPECT_EQ(g_calls, std::vector<std::string>{"a"});
}

TEST_F(NameValueDecoderTest, TypeZeroWritesNothingButRunsTheRoutine) {
  Define("a", 0, "A", 11, 0, 0, RecordCall);
  Decode("a^5;");
  EXPECT_TRUE(ds.GetWrites().empty());
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_EQ(g_calls, std::vector<std::string>{"a"});
}

TEST_F(NameValueDecoderTest, NumbersReadAsTheRunTimeReadsThem) {
  struct Case {
    int type;
    const char* text;
    double stored;
  };
  const Case cases[] = {
      {7, "abc", 0.0},          {7, "-95.5", -95.5},     {2, "-5", 4294967291.0}, {4, "12.7", 12.0},
      {6, "4294967296", 4294967295.0}, {1, "12.7", 12.0}, {3, "2147483648", 2147483647.0},
      {5, "-2147483649", -2147483648.0}, {3, " -17x", -17.0},
  };
  for (const Case& c : cases) {
    ds.Clear();
    decoder.ConvertValue(kLevelAttr, 2, c.text, c.type, 1);
    EXPECT_EQ(Writes(), std::vector<std::string>{At(kLevelAttr, 2, Real(c.stored))})
        << "type " << c.type << " text " << c.text;
  }
}

TEST_F(NameValueDecoderTest, ValuesAreConvertedFromTheDefinitionsUnit) {
  const int freq = AttrId("ATTR_ID_SCAN_LOG_FREQ");  // held in hertz
  ASSERT_EQ(GetAttrUnitType(freq), UT_HZ);
  decoder.ConvertValue(freq, 1, "145.5", 7, kUnitMHz);
  decoder.ConvertValue(freq, 2, "abc", 7, kUnitMHz);
  EXPECT_EQ(Writes(), (std::vector<std::string>{At(freq, 1, Real(145500000.0)), At(freq, 2, Real(0))}));
}

TEST_F(NameValueDecoderTest, AttributeWithoutUnitStoresTheValueUnchanged) {
  const int unknownAttr = 999;
  ASSERT_EQ(GetAttrUnitType(unknownAttr), -1);
  decoder.ConvertValue(unknownAttr, 0, "145.5", 7, kUnitMHz);
  EXPECT_EQ(Writes(), std::vector<std::string>{At(unknownAttr, 0, Real(145.5))});
}

TEST_F(NameValueDecoderTest, UnitTypesComeFromTheFormatGroup) {
  EXPECT_EQ(GetAttrUnitType(AttrId("ATTR_ID_SCAN_BIN_DB_MEAN")), UT_DBM);
  EXPECT_EQ(GetAttrUnitType(AttrId("ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV")), UT_MHZ);
  EXPECT_EQ(GetAttrUnitType(AttrId("ATTR_ID_SCAN_LOG_FREQ_STR")), -1);  // texts have no format-group entry
  EXPECT_EQ(GetAttrUnitType(0), -1);
}

TEST_F(NameValueDecoderTest, TextIsStoredUnchanged) {
  const int freq = AttrId("ATTR_ID_SCAN_LOG_FREQ");
  Define("t", 11, "", freq, 3, kUnitMHz);
  Decode("t^145.500 MHz;");
  EXPECT_EQ(Writes(), std::vector<std::string>{At(freq, 3, "'145.500 MHz'")});
}

TEST_F(NameValueDecoderTest, OtherTypeCodesStoreNothingButWriteText) {
  Define("x", 12, "X", 11, 0);
  Decode("x^5;");
  EXPECT_TRUE(ds.GetWrites().empty());
  EXPECT_EQ(expanded.m_strDetailText, " X=5");
}

TEST_F(NameValueDecoderTest, ListsGoToConsecutiveIndexes) {
  struct Case {
    int type;
    const char* text;
    std::vector<std::string> writes;
  };
  const std::vector<Case> cases = {
      {8, "1,2,3", {At(11, 4, Real(1)), At(11, 5, Real(2)), At(11, 6, Real(3))}},
      {9, "-5,7", {At(11, 4, Real(4294967291.0)), At(11, 5, Real(7))}},
      {10, "8", {At(11, 4, Real(8))}},
      {8, ",2", {}},
      {8, "1,,3", {At(11, 4, Real(1))}},
      {8, "", {}},
  };
  for (const Case& c : cases) {
    ds.Clear();
    decoder.ConvertValue(11, 4, c.text, c.type, 0);
    EXPECT_EQ(Writes(), c.writes) << "type " << c.type << " text " << c.text;
  }
  ds.Clear();
  decoder.ConvertList(11, 4, "1,2", 7, 0);  // not a list code
  EXPECT_TRUE(ds.GetWrites().empty());
}

TEST_F(NameValueDecoderTest, ListStopsAtTheLastIndex) {
  decoder.ConvertList(11, INT_MAX - 1, "1,2,3", 8, 0);
  EXPECT_EQ(Writes(), (std::vector<std::string>{At(11, INT_MAX - 1, Real(1)), At(11, INT_MAX, Real(2))}));
}

TEST_F(NameValueDecoderTest, DetailTextWhenWanted) {
  Define("frequency1", 7, "Frequency 1", 0, 0);
  Define("frequency2", 7, "Frequency 2", 0, 1);
  Define("quiet", 7, "", 0, 0);
  Decode("frequency1^quiet^frequency2^145.500;1;146.000;");
  EXPECT_EQ(expanded.m_strDetailText, " Frequency 1=145.500 Frequency 2=146.000");

  expanded.m_strDetailText.Empty();
  expanded.m_bWantDetailText = 0;
  Decode("frequency1^frequency2^145.500;146.000;");
  EXPECT_EQ(expanded.m_strDetailText, "");
}

TEST_F(NameValueDecoderTest, ListTextIsTheWholeValue) {
  Define("l", 8, "L", 11, 0);
  Decode("l^1,2;");
  EXPECT_EQ(expanded.m_strDetailText, " L=1,2");
}

TEST_F(NameValueDecoderTest, EmptyValueEndsTheWalk) {
  Define("a", 7, "A", 11, 0);
  Define("b", 7, "B", 12, 0);
  Define("c", 7, "C", 13, 0);
  Decode("a^b^c^1;;3;");
  EXPECT_EQ(Writes(), std::vector<std::string>{At(11, 0, Real(1))});
  EXPECT_EQ(expanded.m_strDetailText, " A=1");
}

TEST_F(NameValueDecoderTest, EmptyFirstValueIsStillDecoded) {
  Define("a", 7, "A", 11, 0);
  Decode("a^;");
  EXPECT_EQ(Writes(), std::vector<std::string>{At(11, 0, Real(0))});
  EXPECT_EQ(expanded.m_strDetailText, " A=");
}

TEST_F(NameValueDecoderTest, NothingToDecode) {
  Define("a", 7, "A", 11, 0, 0, RecordCall);
  for (const char* payload : {"", "a^1", "a;1;", "^1;"}) Decode(payload);
  CVyrGenericHsMessage noPayload;
  decoder.Decode(noPayload, *map);
  EXPECT_TRUE(ds.GetWrites().empty());
  EXPECT_TRUE(g_calls.empty());
  EXPECT_EQ(expanded.m_strDetailText, "");
}

// Routines read their fields by name, which finds the first occurrence: a
// repetition (which the format does not allow) is not decoded again.
TEST_F(NameValueDecoderTest, RepeatedNameIsDecodedAtItsFirstOccurrenceOnly) {
  Define("a", 7, "A", 11, 0, 0, RecordCall);
  Define("b", 7, "B", 12, 0, 0, RecordCall);
  Decode("a^b^a^1;2;3;");
  EXPECT_EQ(Writes(), (std::vector<std::string>{At(11, 0, Real(1)), At(12, 0, Real(2))}));
  EXPECT_EQ(expanded.m_strDetailText, " A=1 B=2");
  EXPECT_EQ(g_calls, (std::vector<std::string>{"a", "b"}));
}

TEST_F(NameValueDecoderTest, PayloadFromTheBuilderDecodesEveryField) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  NameValueSetField(msg, "a", "1");
  NameValueSetField(msg, "b", "2");
  NameValueSetField(msg, "a", "3");
  Define("a", 8, "A", 11, 0, 0, RecordCall);
  Define("b", 7, "B", 12, 0, 0, RecordCall);
  decoder.Decode(msg, *map);
  EXPECT_EQ(Writes(), (std::vector<std::string>{At(11, 0, Real(1)), At(11, 1, Real(3)), At(12, 0, Real(2))}));
  EXPECT_EQ(expanded.m_strDetailText, " A=1,3 B=2");
  EXPECT_EQ(g_calls, (std::vector<std::string>{"a", "b"}));
}

TEST_F(NameValueDecoderTest, RoutineGetsTheMessageDefinitionAndContext) {
  static const CVyrGenericHsMessage* s_msg;
  static NameValueDefn s_seen;
  static IVyrDataState* s_ds;
  static CVyrExpandedMessage* s_expanded;
  static CVyrDecodeReceiver* s_receiver;
  static IKelCellRefs_Search* s_search;
  auto capture = [](const CVyrGenericHsMessage& m, const NameValueDefn* d, IVyrDataState* s, CVyrExpandedMessage* e,
                    CVyrDecodeReceiver* r, IKelCellRefs_Search* f) {
    s_msg = &m;
    s_seen = *d;
    s_ds = s;
    s_expanded = e;
    s_receiver = r;
    s_search = f;
  };
  auto* fakeReceiver = reinterpret_cast<CVyrDecodeReceiver*>(0x1000);
  auto* fakeSearch = reinterpret_cast<IKelCellRefs_Search*>(0x2000);
  NameValueDecoder withContext{&ds, &expanded, fakeReceiver, fakeSearch};
  Define("a", 3, "A", 11, 6, 9, capture);
  CVyrGenericHsMessage msg;
  NameValueSetField(msg, "a", "1");
  withContext.Decode(msg, *map);
  EXPECT_EQ(s_msg, &msg);
  EXPECT_STREQ(s_seen.pszName, "a");
  EXPECT_EQ(s_seen.nIndex, 6);
  EXPECT_EQ(s_seen.nUnit, 9);
  EXPECT_EQ(s_ds, &ds);
  EXPECT_EQ(s_expanded, &expanded);
  EXPECT_EQ(s_receiver, fakeReceiver);
  EXPECT_EQ(s_search, fakeSearch);
}

TEST_F(NameValueDecoderTest, ThrowingRoutineEndsThePayload) {
  Define("a", 7, "A", 11, 0, 0, ThrowingCall);
  Define("b", 7, "B", 12, 0, 0, RecordCall);
  Define("c", 7, "C", 13, 0, 0, RecordCall);
  Decode("a^b^c^1;2;3;");
  EXPECT_EQ(Writes(), std::vector<std::string>{At(11, 0, Real(1))});
  EXPECT_EQ(expanded.m_strDetailText, " A=1");
  EXPECT_EQ(g_calls, std::vector<std::string>{"a"});
}
}  // namespace

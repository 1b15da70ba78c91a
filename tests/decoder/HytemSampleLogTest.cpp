// A whole log read by the HYTEM reader and decoded message by message with
// one data state: the header lays down the plan that the measurements use.
#include <string>
#include <vector>

#include "HytemDecoderFixture.h"
#include "StackHytemReader.h"

namespace hytem_test {
namespace {
struct Ranked {
  double level;
  int position;
  double mhz;
};

// What decoding one message left: its texts and the ranked lists.
struct DecodedMessage {
  int msgClass;
  std::string name;
  std::string detail;
  std::vector<Ranked> ranked;
};

// Decodes every message as the reader hands it over.
class CDecodingSink : public IDataFileMessageSink {
 public:
  CDecodingSink(CVyrDecodeDevice& receiver, CVyrMemoryDataState& ds) : m_receiver(receiver), m_ds(ds) {}

  RolRetc OnMessage(CDataFile&, const CVyrGenericHsMessage& msg) override {
    CVyrExpandedMessage expanded;
    m_ds.ClearWrites();
    m_receiver.DecodeMessage(msg, &m_ds, expanded, nullptr);
    messages.push_back({msg.m_nMsgClass, expanded.m_strMsgName.str(), expanded.m_strDetailText.str(), RankedNow()});
    return ROL_OK;
  }
  std::vector<DecodedMessage> messages;

 private:
  // The ranks this message wrote.
  std::vector<Ranked> RankedNow() const {
    std::vector<Ranked> out;
    for (const auto& w : m_ds.GetWrites()) {
      if (w.nAttrId != g_nAttrScanSortIndexBySigLev) continue;
      out.push_back({m_ds.GetValue(g_nAttrScanSortSigLevelBySigLev, w.nIndex, kMsg).m_value.d, w.nValue,
                     m_ds.GetValue(g_nAttrScanSortFreqBySigLev, w.nIndex, kMsg).m_value.d});
    }
    return out;
  }
  CVyrDecodeDevice& m_receiver;
  CVyrMemoryDataState& m_ds;
};

using SampleLogTest = HytemDecoderTest;

void ExpectRanked(const std::vector<Ranked>& got, const std::vector<Ranked>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t r = 0; r < got.size(); ++r) {
    EXPECT_DOUBLE_EQ(got[r].level, expected[r].level) << "rank " << r;
    EXPECT_EQ(got[r].position, expected[r].position) << "rank " << r;
    EXPECT_NEAR(got[r].mhz, expected[r].mhz, 2e-6) << "rank " << r;
  }
}

TEST_F(SampleLogTest, TwoBandScanDecodesAgainstTheHeadersPlan) {
  CStackHytemReader reader;
  CDecodingSink sink(*receiver, ds);
  reader.SetMessageSink(&sink);
  ASSERT_EQ(reader.LoadDataFile(KEL_SOURCE_DIR "/samples/scan_two_bands.h2m", ""), 0);

  // One header, then twelve measurements.
  ASSERT_EQ(sink.messages.size(), 13u);
  EXPECT_EQ(sink.messages[0].msgClass, 306);
  EXPECT_EQ(sink.messages[0].name, "Header Info");
  for (size_t i = 1; i < sink.messages.size(); ++i) EXPECT_EQ(sink.messages[i].name, "Scanner message");

  // 925.0 to 925.8 MHz and 1805.0 to 1805.4 MHz in 200 kHz steps.
  const char* plan[] = {"925.000 MHz",  "925.200 MHz",  "925.400 MHz",  "925.600 MHz",
                        "925.800 MHz",  "1805.000 MHz", "1805.200 MHz", "1805.400 MHz"};
  for (int e = 0; e < 8; ++e) EXPECT_EQ(Text(g_nAttrScanLogFreqStr, e, kPlan), plan[e]) << e;
  EXPECT_FALSE(Has(g_nAttrScanLogFreq, 8, kPlan));
  EXPECT_EQ(Number(g_nAttrScanLogHytemBandStartIdx, 1, kPlan), 5.0);
  EXPECT_EQ(Number(g_nAttrScanLogHytemBandStartIdx, 2, kPlan), 8.0);

  // Line 11, band 1: -81.5 -83.5 -85.5 -91.0 -97.0.
  ExpectRanked(sink.messages[11].ranked,
               {{-81, 0, 925.0}, {-83, 1, 925.2}, {-85, 2, 925.4}, {-91, 3, 925.6}, {-97, 4, 925.8}});
  // Line 12, band 2: -70.0 -74.0 -86.5.
  ExpectRanked(sink.messages[12].ranked, {{-70, 0, 1805.0}, {-74, 1, 1805.2}, {-86, 2, 1805.4}});
  EXPECT_EQ(sink.messages[12].detail,
            " Time=09:15:35 Date=03/15/05 Band Number=2"
            "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n1805.000\t-70.000\n1805.200\t-74.000\n1805.400\t-86.000\n");
  // The last message's band-2 levels sit in the plan's band-2 bins.
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 5, kMsg), -70.0);
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 7, kMsg), -86.5);
}
}  // namespace
}  // namespace hytem_test

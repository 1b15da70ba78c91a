// The decode receiver: names, summary text, message type, flags, the base's
// veto and the announced message classes.
#include <stdexcept>

#include "HytemDecoderFixture.h"

namespace hytem_test {
namespace {
using ReceiverTest = HytemDecoderTest;

TEST_F(ReceiverTest, CreationFunctionBuildsAReceiverForTheDevice) {
  auto* hytem = dynamic_cast<CVyrDecodeReceiverHytem*>(receiver.get());
  ASSERT_NE(hytem, nullptr);
  EXPECT_EQ(hytem->GetDeviceTypeInfo().m_nDeviceType, 115);
  EXPECT_EQ(hytem->GetDeviceTypeInfo().m_strName, "Hytem Scanner");
}

TEST_F(ReceiverTest, HeaderMessageNamedWithPayloadAsSummary) {
  CVyrGenericHsMessage msg = MakeMessage(306, {{"Software Version", "2.1"}, {"nbFrequencies", "5"}});
  EXPECT_EQ(Decode(msg), 0);
  EXPECT_EQ(expanded.m_strSummaryText, "Software Version^nbFrequencies^2.1;5;\r\n");
  EXPECT_EQ(expanded.m_strMsgName, "Header Info");
  EXPECT_EQ(expanded.m_nMsgType, 306);
  EXPECT_EQ(expanded.m_strDetailText, " Software Version=2.1 Number of freq.=5");
}

TEST_F(ReceiverTest, MessageNamesByClass) {
  struct Case {
    int msgClass;
    const char* name;
  };
  const Case cases[] = {{306, "Header Info"}, {307, "Scanner message"}, {305, "Unknown message :ERROR!"}};
  for (const Case& c : cases) {
    expanded.Reset();
    ds.Clear();
    EXPECT_EQ(Decode(c.msgClass, {{"Average", "-80"}}), 0);
    EXPECT_EQ(expanded.m_strMsgName, c.name);
    EXPECT_EQ(expanded.m_nMsgType, c.msgClass);
    // Every class is decoded in full.
    EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -80.0) << c.msgClass;
    EXPECT_EQ(expanded.m_strDetailText, " RSSI (average)=-80");
  }
}

TEST_F(ReceiverTest, MessageTypeIsTheClassAsSigned16Bits) {
  Decode(40000, {});
  EXPECT_EQ(expanded.m_nMsgType, 40000 - 65536);
}

TEST_F(ReceiverTest, MessageWithoutPayload) {
  CVyrGenericHsMessage none;
  none.m_nMsgClass = 307;
  EXPECT_EQ(Decode(none), 0);
  EXPECT_EQ(expanded.m_strSummaryText, "EMPTY MESSAGE\r\n");
  EXPECT_EQ(expanded.m_strMsgName, "Scanner message");

  CVyrGenericHsMessage empty;
  empty.AllocMsgBuf(0);
  empty.m_nMsgClass = 307;
  expanded.Reset();
  Decode(empty);
  EXPECT_EQ(expanded.m_strSummaryText, "EMPTY MESSAGE\r\n");
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_EQ(ds.GetWriteCount(), 0u);
}

TEST_F(ReceiverTest, FlagsClearStillDecodesButWritesNoText) {
  expanded.m_bWantSummaryText = 0;
  expanded.m_bWantMsgName = 0;
  expanded.m_bWantDetailText = 0;
  expanded.m_strSummaryText = "old summary";
  expanded.m_strMsgName = "old name";
  expanded.m_strDetailText = "old detail";
  Decode(307, {{"Average", "-80"}, {"Level1", "-70"}});
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -70.0);
  EXPECT_EQ(expanded.m_nMsgType, 307);
  EXPECT_EQ(expanded.m_strSummaryText, "old summary");
  EXPECT_EQ(expanded.m_strMsgName, "old name");
  EXPECT_EQ(expanded.m_strDetailText, "old detail");
}

TEST_F(ReceiverTest, BaseVetoLeavesEverythingAlone) {
  receiver->SetDecodeEnabled(false);
  expanded.m_strSummaryText = "old summary";
  expanded.m_nMsgType = 12;
  EXPECT_EQ(Decode(307, {{"Average", "-80"}, {"Time", "12:00:00"}}), 0);
  EXPECT_EQ(ds.GetWriteCount(), 0u);
  EXPECT_EQ(expanded.m_strSummaryText, "old summary");
  EXPECT_EQ(expanded.m_strMsgName, "");
  EXPECT_EQ(expanded.m_strDetailText, "");
  EXPECT_EQ(expanded.m_nMsgType, 12);
}

TEST_F(ReceiverTest, SupportedClassesFollowTheBasesEntries) {
  CVyrDeviceMsgClassInfoArray classes;
  classes.Add(CVyrDeviceMsgClassInfo("earlier", 1, 0, 0, 0, nullptr, 0, 0));
  receiver->GetSupportedMsgClassInfo(classes);
  ASSERT_EQ(classes.GetSize(), 3);
  EXPECT_EQ(classes[0].m_strName, "earlier");
  const char* names[] = {"HYTEM Header", "HYTEM Message"};
  const int ids[] = {306, 307};
  for (int i = 0; i < 2; ++i) {
    const CVyrDeviceMsgClassInfo& c = classes[i + 1];
    EXPECT_EQ(c.m_strName, names[i]);
    EXPECT_EQ(c.m_nClassId, ids[i]);
    EXPECT_EQ(c.m_nGroup, 1);
    EXPECT_EQ(c.m_dwFlags, 0x800000u);
    EXPECT_EQ(c.m_nReserved, 0);
    EXPECT_EQ(c.m_strDescription, "");
    EXPECT_EQ(c.m_nParent, -1);
    EXPECT_EQ(c.m_nOrder, 0);
  }
}

TEST_F(ReceiverTest, BrowseGroupDefinitionAnswersZero) {
  CVyrMsgBrowseGroupDefn defn;
  EXPECT_EQ(receiver->GetMsgBrowseGroupDefn(defn), 0);
}

// A routine that throws, put into the table while a receiver is built: the
// receiver's map holds it, the table gets its own routine back.
void ThrowingRoutine(const CVyrGenericHsMessage&, const NameValueDefn*, IVyrDataState*, CVyrExpandedMessage*,
                     CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  throw std::runtime_error("routine failed");
}

TEST_F(ReceiverTest, ThrowingRoutineEndsThePayloadButNotTheMessage) {
  constexpr int kAverageRow = 17;
  NameValueDefn& row = s_HytemNameValueDefns[kAverageRow];
  ASSERT_STREQ(row.pszName, "Average");
  const NameValueCallback original = row.pfnCallback;
  row.pfnCallback = ThrowingRoutine;
  std::unique_ptr<CVyrDecodeDevice> throwing(CreateHytemDecodeDevice(HytemDeviceInfo()));
  row.pfnCallback = original;

  CVyrGenericHsMessage msg = MakeMessage(307, {{"Time", "12:00:01"}, {"Average", "-150"}, {"Minimum", "-90"}});
  EXPECT_EQ(throwing->DecodeMessage(msg, &ds, expanded, nullptr), 0);
  // Average stored (the floor never ran), Minimum never reached.
  EXPECT_EQ(Number(g_nAttrScanBinDbMean, 0, kMsg), -150.0);
  EXPECT_FALSE(Has(AttrId("ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL"), 0, kMsg));
  EXPECT_EQ(expanded.m_strDetailText, " Time=12:00:01 RSSI (average)=-150");
  EXPECT_EQ(expanded.m_strMsgName, "Scanner message");
  EXPECT_EQ(expanded.m_nMsgType, 307);
}
}  // namespace
}  // namespace hytem_test

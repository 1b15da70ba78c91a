// The data-file framework: file information and message times, the order in
// which a load drives a reader, and the registry of data-file types.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "DataFileFactory.h"
#include "DataFileInfo.h"
#include "TempDir.h"
#include "TestReader.h"

namespace {
constexpr std::int64_t kHour = 3600000;
constexpr std::int64_t kDay = 24 * kHour;

std::int64_t At(int h, int m, int s) { return (h * 3600 + m * 60 + s) * 1000LL; }

TEST(DataFileInfo, MessageTimesCountFromTheFileStartAcrossMidnight) {
  CDataFileInfo info;
  info.SetFileStartTime(CVyrMilliSecAbsTime(2005, 3, 15, 12, 0, 0), CVyrMilliSecRelTime(0), true);
  const struct {
    std::int64_t timeOfDay, expected;
  } steps[] = {
      {At(12, 0, 1), 1000},
      {At(11, 0, 0), -kHour},                       // before the start
      {At(23, 59, 59), At(11, 59, 59)},
      {At(0, 0, 30), 12 * kHour + 30000},          // past midnight: the next day
      {At(0, 0, 10), 12 * kHour + 10000},          // a little back: the same day
      {At(13, 0, 0), 25 * kHour},
      {At(0, 59, 59), 36 * kHour + At(0, 59, 59)},  // just over twelve hours back
      {At(12, 59, 59), 48 * kHour + At(0, 59, 59)},
      {At(0, 59, 59), 36 * kHour + At(0, 59, 59)},  // exactly twelve hours back: the same day
  };
  for (const auto& s : steps)
    EXPECT_EQ(info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(s.timeOfDay)).GetMs(), s.expected)
        << s.timeOfDay;
}

// A line whose time the reader could not read comes as 0: in the afternoon
// it must not be taken for the next day, nor shift the lines after it.
TEST(DataFileInfo, UnreadableTimeStartsNoNewDay) {
  CDataFileInfo info;
  info.SetFileStartTime(CVyrMilliSecAbsTime(2005, 3, 15, 9, 0, 0), CVyrMilliSecRelTime(0), true);
  EXPECT_EQ(info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(At(13, 0, 0))).GetMs(), 4 * kHour);
  EXPECT_EQ(info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(0)).GetMs(), -9 * kHour);
  EXPECT_EQ(info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(At(13, 0, 5))).GetMs(),
            4 * kHour + 5000);
}

// Nonsense times (from a damaged log) give nonsense results, but no overflow;
// a sound time afterwards is still a whole number of days from its plain value.
TEST(DataFileInfo, AbsurdTimesStayDefined) {
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  for (std::int64_t start : {kMin, kMax, std::int64_t{0}}) {
    CDataFileInfo info;
    CVyrMilliSecAbsTime t;
    t.SetMs(start);
    info.SetFileStartTime(t, CVyrMilliSecRelTime(0), true);
    for (std::int64_t tod : {kMin, kMax, kMin, std::int64_t{-1}, kMax})
      info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(tod));
    std::int64_t rel = info.CalculateRelMsgTimeFromTimeWithinDay(CVyrMilliSecRelTime(At(1, 0, 0))).GetMs();
    if (start == 0) {
      EXPECT_EQ((rel - At(1, 0, 0)) % kDay, 0) << rel;
    }
  }
}

class DataFileLoad : public testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.Write("scan.h2m", "HYTEM Software - V2\r\nTime\tLevels\r\n12:00:01\t-80\r\n12:00:02\t-81\r\n");
    m_reader.SetMessageSink(&m_sink);
  }
  const std::vector<std::string> kAllLines = {"HYTEM Software - V2", "Time\tLevels", "12:00:01\t-80", "12:00:02\t-81"};
  TempDir m_dir;
  std::string m_path;
  CTestReader m_reader;
  CCollectingSink m_sink;
};

TEST_F(DataFileLoad, HeaderOnceThenEveryLineFromTheStart) {
  EXPECT_EQ(m_reader.LoadDataFile(m_path.c_str(), ""), ROL_OK);
  EXPECT_EQ(m_reader.m_nHeaderCalls, 1);
  EXPECT_EQ(m_sink.payloads, kAllLines);  // the header's line is read again
  EXPECT_EQ(m_sink.classes, std::vector<int>(4, 307));
  EXPECT_EQ(m_reader.m_nMessageCalls, 5);  // four messages and the end
  EXPECT_EQ(m_reader.GetPathName(), m_path.c_str());
  EXPECT_EQ(m_reader.GetStreamCount(), 1);
  EXPECT_EQ(m_reader.GetBytesRead(), m_reader.GetFileSize());
}

TEST_F(DataFileLoad, LoadingAgainStartsOver) {
  ASSERT_EQ(m_reader.LoadDataFile(m_path.c_str(), ""), ROL_OK);
  m_reader.SetMessageSink(nullptr);
  ASSERT_EQ(m_reader.LoadDataFile(m_path.c_str(), nullptr), ROL_OK);
  EXPECT_EQ(m_reader.m_nHeaderCalls, 2);
  EXPECT_EQ(m_reader.m_nMessageCalls, 10);
  EXPECT_EQ(m_reader.GetStreamCount(), 1);
}

TEST_F(DataFileLoad, TheSinksNonZeroResultStopsTheLoad) {
  m_sink.stopAt = 2;
  m_sink.stopResult = 77;
  EXPECT_EQ(m_reader.LoadDataFile(m_path.c_str(), ""), 77);
  EXPECT_EQ(m_sink.payloads, (std::vector<std::string>{kAllLines[0], kAllLines[1]}));
  EXPECT_EQ(m_reader.m_nMessageCalls, 2);
}

TEST_F(DataFileLoad, HeaderFailurePassesThrough) {
  m_reader.m_nHeaderResult = 1004;
  EXPECT_EQ(m_reader.LoadDataFile(m_path.c_str(), ""), 1004);
  EXPECT_EQ(m_reader.m_nMessageCalls, 0);
  EXPECT_TRUE(m_sink.payloads.empty());
}

TEST_F(DataFileLoad, ReadFailureOtherThanTheEndPassesThrough) {
  m_reader.m_nFailAtMessage = 3;
  m_reader.m_nFailResult = ROL_READ_ERROR;
  EXPECT_EQ(m_reader.LoadDataFile(m_path.c_str(), ""), ROL_READ_ERROR);
  EXPECT_EQ(m_sink.payloads.size(), 2u);
}

TEST_F(DataFileLoad, NoPathOrNoFileNoLoad) {
  EXPECT_NE(m_reader.DataFileInit(nullptr, ""), ROL_OK);
  EXPECT_NE(m_reader.DataFileInit("", ""), ROL_OK);
  EXPECT_NE(m_reader.LoadDataFile(nullptr, nullptr), ROL_OK);
  EXPECT_EQ(m_reader.m_nHeaderCalls, 0);
  EXPECT_EQ(m_reader.DataFileInit(m_path.c_str(), nullptr), ROL_OK);
  // A file that the reader cannot open: its own code comes back.
  EXPECT_EQ(m_reader.LoadDataFile((m_dir.Path() + "/gone.h2m").c_str(), ""), 1001);
  EXPECT_TRUE(m_sink.payloads.empty());
}

CDataFile* CreateTestReader() { return new CTestReader; }

const char* const s_testExtensions[] = {"h2m", "H1S", ""};
const CDataFileFactoryHelper s_testType("HOSTTEST", s_testExtensions, 5, &CreateTestReader, true, "opts", 3);

TEST(DataFileFactory, RegistrationByTypeName) {
  CDataFileFactoryHelper::Registration r;
  ASSERT_TRUE(CDataFileFactoryHelper::FindByTypeName("HOSTTEST", r));
  EXPECT_EQ(r.extensions, (std::vector<CString>{"h2m", "H1S", ""}));  // closing empty string kept
  EXPECT_EQ(r.qwFlags, 5u);
  EXPECT_TRUE(r.bEnabled);
  EXPECT_EQ(r.strOptions, "opts");
  EXPECT_EQ(r.nPriority, 3);
  ASSERT_EQ(r.pfnCreate, &CreateTestReader);
  CDataFile* file = r.pfnCreate();
  EXPECT_NE(file, nullptr);
  delete file;
  EXPECT_FALSE(CDataFileFactoryHelper::FindByTypeName("NOSUCHTYPE", r));
  EXPECT_FALSE(CDataFileFactoryHelper::FindByTypeName(nullptr, r));
}

TEST(DataFileFactory, RegistrationByExtension) {
  for (const char* ext : {"h2m", "H2M", ".h2m", "h1s", ".H1s"}) {
    CDataFileFactoryHelper::Registration r;
    EXPECT_TRUE(CDataFileFactoryHelper::FindByExtension(ext, r)) << ext;
    EXPECT_EQ(r.strTypeName, "HOSTTEST") << ext;
  }
  for (const char* ext : {"h1m", "h2", "h2mx", "", ".", "..h2m"}) {
    CDataFileFactoryHelper::Registration r;
    EXPECT_FALSE(CDataFileFactoryHelper::FindByExtension(ext, r)) << ext;
  }
  CDataFileFactoryHelper::Registration r;
  EXPECT_FALSE(CDataFileFactoryHelper::FindByExtension(nullptr, r));
}
}  // namespace

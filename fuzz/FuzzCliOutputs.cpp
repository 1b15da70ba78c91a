// Fuzz target: the input bytes are a log file, decoded once through the
// vyr library as vyrhost does, while every command-line output is made of
// it: the JSON Lines listing of `decode`, the CSV and JSON Lines rows of
// `export`, the report's data and the summary of `info`. Every output must
// parse (strict JSON, CSV records of the header's field count), the
// listing of writes made as they come must equal the one made from the
// recorded writes, and the rows followed through the write observer must
// equal those read from the recorded writes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CStdioFile.h"
#include "DataFileFactory.h"
#include "DecodeFormats.h"
#include "ExportFormats.h"
#include "FuzzCheck.h"
#include "HytemDecodeReceiver.h"
#include "HytemFactories.h"
#include "HytemLogRun.h"
#include "HytemScanDecoding.h"
#include "OutputCheck.h"
#include "ReportHtml.h"
#include "VyrDecodeDevice.h"
#include "vyr/LevelRows.h"
#include "vyr/LogDecoder.h"
#include "vyr/LogSummary.h"

namespace {
const std::string g_strLogPath = "fuzz-input.h2m";
// Plans are cut at this many frequencies: the same cuts as in the whole-log
// target, with fewer writes for each header to list twice and check.
constexpr int kFuzzPlanCap = 100;
constexpr size_t kCsvFields = 11;

// Each line of a JSON Lines text is one strict JSON value; returns the lines.
size_t CheckJsonLines(std::string_view text) {
  FUZZ_CHECK(text.empty() || text.back() == '\n');
  size_t nLines = 0;
  while (!text.empty()) {
    const size_t nEnd = text.find('\n');
    FUZZ_CHECK(IsStrictJson(text.substr(0, nEnd)));
    text.remove_prefix(nEnd + 1);
    ++nLines;
  }
  return nLines;
}

bool SameRows(const std::vector<LevelRow>& a, const std::vector<LevelRow>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const LevelRow& x, const LevelRow& y) {
    return x.nBin == y.nBin && x.nBand == y.nBand && x.bHasFrequency == y.bHasFrequency &&
           (x.dLevel == y.dLevel || (x.dLevel != x.dLevel && y.dLevel != y.dLevel)) &&
           (x.dFrequencyMHz == y.dFrequencyMHz || (x.dFrequencyMHz != x.dFrequencyMHz && y.dFrequencyMHz != y.dFrequencyMHz));
  });
}

// What one input makes; the outputs of one message are checked at once.
class COutputs {
 public:
  COutputs() : m_report(ReportSettings()) {
    m_options.onDevice = [](CVyrDecodeDevice& device) {
      if (CHytemPlanBudget* pBudget = HytemPlanBudgetOf(dynamic_cast<CVyrDecodeReceiver*>(&device)))
        pBudget->ScaleDown(kFuzzPlanCap);
    };
    auto exportObserver = m_exportRows.Observer();
    auto reportObserver = m_report.WriteObserver();
    m_options.writeObserver = [this, exportObserver, reportObserver](const CVyrMemoryDataState::Write& w) {
      AppendWriteJsonl(m_streamedWrites, w, m_bFirstWrite);
      m_bFirstWrite = false;
      exportObserver(w);
      reportObserver(w);
    };
    // Runs come whole, as the report and the export take them; the listing
    // spells out their writes, which must be those of the single calls.
    auto exportRuns = m_exportRows.RunObserver();
    auto reportRuns = m_report.RunObserver();
    m_options.runObserver = [this, exportRuns, reportRuns](const CVyrMemoryDataState::RunWrites& runs) {
      for (int k = 0; k < runs.nCount; ++k) {
        for (int r = 0; r < runs.nRuns; ++r) {
          AppendWriteJsonl(m_streamedWrites, CVyrMemoryDataState::RunWrite(runs, r, k), m_bFirstWrite);
          m_bFirstWrite = false;
        }
      }
      exportRuns(runs);
      reportRuns(runs);
    };
  }

  RolRetc Run() {
    CLogDecoder decoder(m_options);
    DecodeCounts counts;
    std::string error;
    auto onFile = [this](const DecodedFileInfo& info) {
      m_start = info.startTime;
      std::string line;
      WriteFileStartJsonl(line, info);
      FUZZ_CHECK(CheckJsonLines(line) == 1);
      m_report.OnFile(info);
      m_info.OnFile(info);
    };
    auto onMessage = [this](const DecodedMessage& m) { OnMessage(m); };
    const RolRetc rc = decoder.Decode(g_strLogPath, onFile, onMessage, counts, error);
    if (rc != ROL_OK) return rc;
    std::string text;
    WriteSummaryJson(text, g_strLogPath, counts);
    FUZZ_CHECK(CheckJsonLines(text) == 1);
    text.clear();
    AppendReportJson(text, m_report.Finish());
    FUZZ_CHECK(IsStrictJson(text));
    text.clear();
    AppendSummaryJson(text, m_info.Finish());
    FUZZ_CHECK(CheckJsonLines(text) == 1);
    return rc;
  }

 private:
  void OnMessage(const DecodedMessage& m) {
    // decode --format jsonl, from the recorded writes and as vyrhost makes it.
    std::string listing;
    WriteMessageJsonl(listing, m);
    FUZZ_CHECK(CheckJsonLines(listing) == 1);
    std::string pieces;
    WriteMessageJsonlHead(pieces, m);
    pieces += m_streamedWrites;
    pieces += kJsonlMessageEnd;
    FUZZ_CHECK(pieces == listing);
    m_streamedWrites.clear();
    m_bFirstWrite = true;

    // export: the observed rows are the recorded ones, and both formats parse.
    m_exportRows.Extract(m, m_rows);
    m_recordedRows.Extract(m.msg.m_nMsgClass, m.writes, m.dataState, m_rowsFromRecord);
    FUZZ_CHECK(SameRows(m_rows, m_rowsFromRecord));
    const MessageFacts facts = GetMessageFacts(m, m_start);
    std::string rows;
    AppendCsvRows(rows, g_strLogPath, facts, m_rows);
    size_t nRecords = 0;
    FUZZ_CHECK(IsCsvRecords(rows, kCsvFields, nRecords) && nRecords == m_rows.size());
    rows.clear();
    AppendJsonlRows(rows, g_strLogPath, facts, m_rows);
    FUZZ_CHECK(CheckJsonLines(rows) == m_rows.size());

    m_report.OnMessage(m);
    m_plan.Update(m.writes, m.dataState);
    m_info.OnMessage(m, m_plan);
  }

  DecodeOptions m_options;
  std::string m_streamedWrites;
  bool m_bFirstWrite = true;
  CLevelRowExtractor m_exportRows;
  CLevelRowExtractor m_recordedRows;
  std::vector<LevelRow> m_rows, m_rowsFromRecord;
  CReportCollector m_report;
  CLogSummaryCollector m_info;
  CFrequencyPlan m_plan;
  CVyrMilliSecAbsTime m_start;
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitHytemModuleForTests();
  // The registrations that loading the plug-in makes.
  static CVyrDecodeDeviceFactoryHelper s_device(
      CVyrDeviceTypeInfo(115, 0, -1, 0, 0x10000800ULL, "Hytem Scanner", "Hytem", 0ULL), CreateHytemDecodeDevice, true,
      "");
  static CDataFileFactoryHelper s_dataFile("HYTEM", s_hytemExtensions, 0x80000000ULL, CreateHytemDataFile, true, "", 3);
  std::string csvHeader;
  AppendCsvHeader(csvHeader);
  size_t nRecords = 0;
  FUZZ_CHECK(IsCsvRecords(csvHeader, kCsvFields, nRecords) && nRecords == 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  CStdioFile::RegisterMemoryFile(g_strLogPath, std::string_view(reinterpret_cast<const char*>(data), size));
  const RolRetc rc = COutputs().Run();
  // A log is read to its end or refused with one of the reader's codes.
  FUZZ_CHECK(rc == 0 || rc == 1002 || rc == 1004);
  return 0;
}

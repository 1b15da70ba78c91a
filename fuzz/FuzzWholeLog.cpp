// Fuzz target: the input bytes are a log file. It is loaded through the
// module's reader and every message is decoded with one data state, as
// vyrhost does; every message is checked against what the reader promises,
// and a log read to its end must give one message per line, a software line
// together with its header block and column header line.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CStdioFile.h"
#include "FuzzCheck.h"
#include "HytemLogRun.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

namespace {
// The input is read in place: the text file opens this name on the bytes
// registered for it, with no file written per input.
const std::string g_strLogPath = "fuzz-input.h2m";
// Frequency plans are cut at this many frequencies instead of a million: the
// same cuts, without a million writes for a header of a few bytes.
constexpr int kFuzzPlanCap = 1000;

bool IsPositionQuality(std::uint8_t q) { return q == 0 || q == 50 || q == 80 || q == 90 || q == 100; }

void CheckMessage(const CVyrGenericHsMessage& msg, const CVyrExpandedMessage& expanded) {
  // The payload is a text of exactly its length: no NUL inside.
  const char* pszPayload = msg.GetMsgBuf();
  FUZZ_CHECK(pszPayload != nullptr);
  FUZZ_CHECK(std::strlen(pszPayload) == static_cast<size_t>(msg.GetMsgBufLen()));
  FUZZ_CHECK(msg.m_nMsgClass == 306 || msg.m_nMsgClass == 307);
  FUZZ_CHECK(expanded.m_nMsgType == msg.m_nMsgClass);
  if (msg.m_nMsgClass == 306) {
    FUZZ_CHECK(msg.m_msgTime.GetMs() == 0);
    return;
  }
  FUZZ_CHECK(msg.m_msgTime.GetMs() >= 0);
  FUZZ_CHECK(IsPositionQuality(msg.m_byPosQuality));
  // A line whose time is refused has no position.
  if (msg.m_byPosQuality == 0) FUZZ_CHECK(msg.m_dLatitude == -10000.0 && msg.m_dLongitude == -10000.0);
}

// The log's lines as the text file reads them: split at LF, one CR before an
// LF dropped, NUL bytes dropped.
std::vector<std::string> SplitLines(std::string_view log) {
  std::vector<std::string> lines;
  while (!log.empty()) {
    const size_t nEnd = log.find('\n');
    std::string line(log.substr(0, nEnd));
    if (nEnd != std::string_view::npos && !line.empty() && line.back() == '\r') line.pop_back();
    line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
    lines.push_back(std::move(line));
    log = nEnd == std::string_view::npos ? std::string_view() : log.substr(nEnd + 1);
  }
  return lines;
}

// Messages that the lines give: a software line takes the "name = value"
// lines after it and then the column header line; any other line is one
// measurement message.
std::uint64_t ExpectedMessages(const std::vector<std::string>& lines) {
  std::uint64_t nMessages = 0;
  for (size_t i = 0; i < lines.size(); ++nMessages) {
    if (lines[i++].find("HYTEM Software") == std::string::npos) continue;
    while (i < lines.size() && lines[i].find('=') != std::string::npos) ++i;
    if (i < lines.size()) ++i;
  }
  return nMessages;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitHytemModuleForTests();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view log(reinterpret_cast<const char*>(data), size);
  CStdioFile::RegisterMemoryFile(g_strLogPath, log);
  const HytemLogRun run = RunHytemLog(g_strLogPath, CheckMessage, kFuzzPlanCap);
  // A log is read to its end or refused with one of the reader's codes.
  FUZZ_CHECK(run.rc == 0 || run.rc == 1002 || run.rc == 1004);
  FUZZ_CHECK(run.rc == 0 || run.nMessages == 0);
  if (run.rc == 0) {
    FUZZ_CHECK(run.nMessages == ExpectedMessages(SplitLines(log)));
  }
  return 0;
}

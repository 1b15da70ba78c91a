// Fuzz target: the input bytes are a sweep file (rtl_power or hackrf_sweep
// CSV). It is loaded through the sweep plug-in's reader and every message is
// decoded by its decode device with one data state, as vyrhost does. Checked:
// every payload is a text of its own length whose values hold no delimiter; message classes and times are
// the reader's; every sweep's level list holds exactly one element per bin of
// the plan in force, which a plan message laid down before it; and no line is
// lost: the lines of the sweeps plus the unreadable lines are the lines that
// are not blank.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "ComModule.h"
#include "ComObject.h"
#include "CStdioFile.h"
#include "DataFileSweepCsv.h"
#include "FuzzCheck.h"
#include "KelFSD.h"
#include "MemoryDataState.h"
#include "SweepDecodeDevice.h"
#include "SweepPayload.h"
#include "SweepRow.h"

namespace {
const std::string g_strPath = "fuzz-input.csv";

class CCheckingSink final : public IDataFileMessageSink {
 public:
  RolRetc OnMessage(CDataFile&, const CVyrGenericHsMessage& msg) override {
    const char* psz = msg.GetMsgBuf();
    FUZZ_CHECK(psz != nullptr && std::strlen(psz) == static_cast<size_t>(msg.GetMsgBufLen()));
    FUZZ_CHECK(msg.m_msgTime.GetMs() >= 0);
    const std::string_view payload(psz, static_cast<size_t>(msg.GetMsgBufLen()));
    sweepcsv::SplitPayload(payload, m_fields);
    // No value holds a delimiter: one ';' and one '^' per field.
    FUZZ_CHECK(!m_fields.empty() && std::count(payload.begin(), payload.end(), ';') == std::ssize(m_fields) &&
               std::count(payload.begin(), payload.end(), '^') == std::ssize(m_fields));
    std::string_view value;
    switch (msg.m_nMsgClass) {
      case CDataFileSweepCsv::kPlanMsgClass:
        FUZZ_CHECK(sweepcsv::FindField(m_fields, sweepcsv::kBins, value));
        m_nPlanBins = std::stoll(std::string(value));
        FUZZ_CHECK(m_nPlanBins >= 1 && m_nPlanBins <= kMaxSweepBins);
        break;
      case CDataFileSweepCsv::kSweepMsgClass:
        FUZZ_CHECK(m_nPlanBins > 0);
        FUZZ_CHECK(sweepcsv::FindField(m_fields, sweepcsv::kLevels, value));
        FUZZ_CHECK(static_cast<std::int64_t>(std::count(value.begin(), value.end(), ',')) + 1 == m_nPlanBins);
        FUZZ_CHECK(sweepcsv::FindField(m_fields, sweepcsv::kHops, value));
        m_nLines += std::stoll(std::string(value));
        break;
      case CDataFileSweepCsv::kUnreadableMsgClass:
        FUZZ_CHECK(m_fields.size() == 2 && m_fields[0].first == sweepcsv::kLine);
        ++m_nLines;
        break;
      default:
        FUZZ_CHECK(false);
    }
    m_expanded.Reset();
    FUZZ_CHECK(m_device.DecodeMessage(msg, &m_state, m_expanded, nullptr) == 0);
    FUZZ_CHECK(m_expanded.m_nMsgType == msg.m_nMsgClass);
    return ROL_OK;
  }
  std::int64_t m_nLines = 0;

 private:
  CSweepDecodeDevice m_device{CVyrDeviceTypeInfo(CDataFileSweepCsv::kDeviceType, 0, -1, 0, 0, "SDR Sweep", "Sweep", 0)};
  CVyrMemoryDataState m_state;
  CVyrExpandedMessage m_expanded;
  sweepcsv::PayloadFields m_fields;
  std::int64_t m_nPlanBins = 0;
};

// The lines that are not blank, as the reader sees them: split at LF, the
// byte order mark of the first line dropped, and a last line without its
// line end without its last field.
std::int64_t CountLines(std::string_view file) {
  if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);
  std::int64_t n = 0;
  while (!file.empty()) {
    const size_t end = file.find('\n');
    std::string_view line = file.substr(0, end);
    if (end == std::string_view::npos) {
      const size_t comma = line.rfind(',');
      line = line.substr(0, comma == std::string_view::npos ? 0 : comma);
    }
    if (!IsBlankLine(line)) ++n;
    file = end == std::string_view::npos ? std::string_view() : file.substr(end + 1);
  }
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  s_comModule.Init();
  RegisterKelFSDTypeLib();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  CStdioFile::RegisterMemoryFile(g_strPath, file);
  CDataFile* pFile = CComObject<CDataFileSweepCsv>::CreateInstance();
  FUZZ_CHECK(pFile != nullptr);
  pFile->GetControllingUnknown()->AddRef();
  CCheckingSink sink;
  pFile->SetMessageSink(&sink);
  const RolRetc rc = pFile->LoadDataFile(g_strPath.c_str(), "");
  pFile->GetControllingUnknown()->Release();
  CStdioFile::UnregisterMemoryFile(g_strPath);
  // A file is read to its end, or refused before any message with a code of
  // the reader's; the probe refuses a file whose first line the reader
  // refuses (but for a last line without its line end, which the reader
  // reads without its last field).
  FUZZ_CHECK(rc == ROL_OK || rc == CDataFileSweepCsv::kRcNoSweepLine || rc == CDataFileSweepCsv::kRcNotSweepFile);
  if (rc != ROL_OK) {
    FUZZ_CHECK(sink.m_nLines == 0);
    if (rc == CDataFileSweepCsv::kRcNotSweepFile && file.back() == '\n') FUZZ_CHECK(!IdentifySweepFile(file.data(), file.size()));
    return 0;
  }
  FUZZ_CHECK(sink.m_nLines == CountLines(file));
  return 0;
}

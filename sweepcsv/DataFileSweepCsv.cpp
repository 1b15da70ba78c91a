#include "DataFileSweepCsv.h"

#include <climits>
#include <cstring>
#include <new>

#include "DataFileInfo.h"
#include "KelStringUtils.h"
#include "SweepPayload.h"

namespace {
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// A line without its line end ran to the end of a file whose writer was
// stopped: its last field may be cut inside a number ("-4" of "-41.5") and
// is not taken.
void DropLastField(std::string& line) {
  const size_t comma = line.rfind(',');
  line.erase(comma == std::string::npos ? 0 : comma);
}

template <class Work>
RolRetc CatchOutOfMemory(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return ROL_OUT_OF_MEMORY;
  }
}
}  // namespace

void CDataFileSweepCsv::CSweep::Clear() {
  lines.clear();
  texts.clear();
  strText.clear();
  ranges.clear();
  nBins = 0;
}

void CDataFileSweepCsv::CSweep::Add(const SweepRow& row, bool bCut) {
  if (Empty()) {
    nMs = row.nMs;
    strDate.assign(row.date);
    strTime.assign(row.time);
    dLowestHz = row.dLowHz;
  }
  if (row.dLowHz < dLowestHz) dLowestHz = row.dLowHz;
  const SweepHop hop{row.dLowHz, row.dHighHz, row.dStepHz, row.nBins};
  lines.push_back({hop, bCut});
  ranges.insert(hop);
  texts.emplace_back(strText.size(), row.levels.size());
  strText += row.levels;
  nBins += row.nBins;
}

RolRetc CDataFileSweepCsv::LoadDataFile(const char* pszPath, const char* pszOptions) {
  return CatchOutOfMemory([&] {
    RolRetc rc = DataFileInit(pszPath, pszOptions);
    if (rc != ROL_OK) return rc;
    return ProcessFile(true);
  });
}

void CDataFileSweepCsv::Reset() {
  m_nLine = 0;
  m_planner = CSweepPlanner();
  m_open.Clear();
  m_done.Clear();
  m_due.clear();
  m_nLastMs = 0;
  m_rcEnd = ROL_OK;
}

RolRetc CDataFileSweepCsv::ReadLine(bool& bCut) {
  const RolRetc rc = zuCStringGetLine(m_file, m_strLine, 0);
  if (rc != ROL_OK) return rc;
  std::string& line = m_strLine.str();
  if (++m_nLine == 1 && line.compare(0, 3, kByteOrderMark) == 0) line.erase(0, 3);
  m_planner.AddLineBytes(line.size());
  bCut = m_file.LastLineUnterminated();
  if (bCut) DropLastField(line);
  return ROL_OK;
}

// Opens the file and takes its start time from the first line that is not
// blank, which must be a sweep line.
RolRetc CDataFileSweepCsv::ReadFileHeader(const char* pszPath) {
  return CatchOutOfMemory([&]() -> RolRetc {
    m_fileInfo.Clear();
    Reset();
    if (!m_file.Open(pszPath, CStdioFile::modeRead | CStdioFile::shareDenyWrite | CStdioFile::typeText))
      return kRcCannotOpen;
    bool bCut = false;
    RolRetc rc;
    while ((rc = ReadLine(bCut)) == ROL_OK && IsBlankLine(m_strLine.view())) {
    }
    if (rc == ROL_LINE_TOO_LONG || rc == ROL_READ_ERROR) return rc;
    if (rc != ROL_OK) return kRcNoSweepLine;
    SweepRow row;
    if (ParseSweepRow(m_strLine.view(), row) != nullptr) return kRcNotSweepFile;
    m_nStartMs = row.nMs;
    m_bHackrf = row.bFraction;
    CDataStreamInfo stream;
    stream.m_deviceType.m_nDeviceType = kDeviceType;
    stream.m_startTime = m_nStartMs;
    m_fileInfo.AddStreamInfo(stream);
    CVyrMilliSecAbsTime start;
    start.SetMs(m_nStartMs);
    m_fileInfo.SetFileStartTime(start, CVyrMilliSecRelTime(0), true);
    m_nMsgsSinceStartTime = 0;
    Reset();  // the messages are read from the start of the file again
    return ROL_OK;
  });
}

RolRetc CDataFileSweepCsv::ReadNextMessage(CVyrGenericHsMessage& msg, int /*nReserved*/) {
  return CatchOutOfMemory([&] {
    if (m_due.empty() && m_rcEnd == ROL_OK) ReadUntilMessage();
    if (m_due.empty()) return m_rcEnd;
    msg.AllocMsgBuf(0);
    Emit(m_due.front(), msg);
    m_due.pop_front();
    return ROL_OK;
  });
}

bool CDataFileSweepCsv::StartsNewSweep(const SweepRow& row) const {
  if (m_open.Empty()) return false;
  const SweepHop hop{row.dLowHz, row.dHighHz, row.dStepHz, row.nBins};
  if (m_open.ranges.count(hop)) return true;
  if (row.bFraction ? row.dLowHz <= m_open.dLowestHz : row.nMs != m_open.nMs) return true;
  return m_open.nBins + row.nBins > kMaxSweepBins || m_open.lines.size() >= CSweepPlan::kMaxHops ||
         m_open.strText.size() + row.levels.size() > kMaxSweepText;
}

// Reads lines until a message is due or the line reader stops; then the
// sweep in progress is due first.
void CDataFileSweepCsv::ReadUntilMessage() {
  while (m_due.empty()) {
    bool bCut = false;
    const RolRetc rc = ReadLine(bCut);
    if (rc != ROL_OK) {
      m_rcEnd = rc;
      CloseSweep();
      return;
    }
    if (IsBlankLine(m_strLine.view())) continue;
    SweepRow row;
    if (const char* why = ParseSweepRow(m_strLine.view(), row)) {
      CloseSweep();
      m_nBadLine = m_nLine;
      m_pszBadReason = why;
      m_due.push_back(Out::Unreadable);
      return;
    }
    if (StartsNewSweep(row)) CloseSweep();
    m_open.Add(row, bCut);
  }
}

void CDataFileSweepCsv::CloseSweep() {
  if (m_open.Empty()) return;
  if (m_planner.TakeSweep(m_open.lines)) m_due.push_back(Out::Plan);
  m_due.push_back(Out::Sweep);
  std::swap(m_open, m_done);
  m_open.Clear();
}

void CDataFileSweepCsv::Emit(Out out, CVyrGenericHsMessage& msg) {
  msg.m_dLatitude = kVyrNoPosition;
  msg.m_dLongitude = kVyrNoPosition;
  msg.m_byPosQuality = 0;
  msg.m_nFlags = 0;
  switch (out) {
    case Out::Plan:
      BuildPlanPayload();
      msg.m_nMsgClass = kPlanMsgClass;
      msg.m_msgTime = CVyrMilliSecRelTime(RelativeMs(m_done.nMs));
      break;
    case Out::Sweep:
      BuildSweepPayload();
      msg.m_nMsgClass = kSweepMsgClass;
      m_nLastMs = RelativeMs(m_done.nMs);
      msg.m_msgTime = CVyrMilliSecRelTime(m_nLastMs);
      break;
    case Out::Unreadable: {
      sweepcsv::CPayloadWriter w(m_strPayload);
      w.Names({sweepcsv::kLine, sweepcsv::kReason});
      w.Value(static_cast<long long>(m_nBadLine));
      w.Value(m_pszBadReason);
      msg.m_nMsgClass = kUnreadableMsgClass;
      msg.m_msgTime = CVyrMilliSecRelTime(m_nLastMs);
      break;
    }
  }
  // The bounds on a sweep keep its payload far below INT_MAX.
  char* buf = msg.AllocMsgBuf(static_cast<int>(m_strPayload.size()));
  if (buf) std::memcpy(buf, m_strPayload.data(), m_strPayload.size());
}

void CDataFileSweepCsv::BuildPlanPayload() {
  using namespace sweepcsv;
  const CSweepPlan& plan = m_planner.Plan();
  const std::vector<SweepHop>& hops = plan.Hops();
  CPayloadWriter w(m_strPayload);
  w.Names({kSoftware, kHops, kBins, kBands, kHzLow, kHzHigh, kHzStep, kHopBins, kBand});
  w.Value(m_bHackrf ? "hackrf_sweep" : "rtl_power");
  w.Value(static_cast<long long>(hops.size()));
  w.Value(static_cast<long long>(plan.Bins()));
  w.Value(plan.BandCount());
  auto list = [&](auto append) {
    for (size_t i = 0; i < hops.size(); ++i) {
      if (i > 0) w.Piece() += ',';
      append(i);
    }
    w.End();
  };
  list([&](size_t i) { AppendShortest(w.Piece(), hops[i].dLowHz); });
  list([&](size_t i) { AppendShortest(w.Piece(), hops[i].dHighHz); });
  list([&](size_t i) { AppendShortest(w.Piece(), hops[i].dStepHz); });
  list([&](size_t i) { w.Piece() += std::to_string(hops[i].nBins); });
  list([&](size_t i) { w.Piece() += std::to_string(plan.BandOf(i)); });
}

// The levels of every plan bin in plan order: each hop's line as it was
// read, empty levels where the sweep has no line for a hop or its line was
// cut short.
void CDataFileSweepCsv::BuildSweepPayload() {
  using namespace sweepcsv;
  const CSweepPlan& plan = m_planner.Plan();
  const size_t nHops = plan.Hops().size();
  std::vector<std::int64_t> lineOfHop(nHops, -1);
  for (size_t l = 0; l < m_done.lines.size(); ++l) {
    const std::int64_t h = plan.Find(m_done.lines[l].hop);
    if (h >= 0) lineOfHop[static_cast<size_t>(h)] = static_cast<std::int64_t>(l);
  }
  CPayloadWriter w(m_strPayload);
  m_strPayload.reserve(m_done.strText.size() + static_cast<size_t>(plan.Bins()) + 64);
  w.Names({kDate, kTime, kHops, kLevels});
  w.Value(m_done.strDate);
  w.Value(m_done.strTime);
  w.Value(static_cast<long long>(m_done.lines.size()));
  std::string& out = w.Piece();
  for (size_t h = 0; h < nHops; ++h) {
    if (h > 0) out += ',';
    std::int64_t nEmpty = plan.Hops()[h].nBins - 1;
    if (const std::int64_t l = lineOfHop[h]; l >= 0) {
      const auto [offset, length] = m_done.texts[static_cast<size_t>(l)];
      out.append(m_done.strText, offset, length);
      nEmpty -= m_done.lines[static_cast<size_t>(l)].hop.nBins;
      ++nEmpty;
    }
    if (nEmpty > 0) out.append(static_cast<size_t>(nEmpty), ',');
  }
  w.End();
}

// The data-file reader for the CSV sweeps of rtl_power and hackrf_sweep (and
// of `vyrhost export --sweeps`): one line per hop (SweepRow.h), the hops of
// one sweep after one another.
//
// A sweep is the run of lines up to the first line that starts the next one:
//   - a line whose hop (Hz low, Hz high, Hz step) the sweep holds already;
//   - rtl_power's layout (a time in whole seconds): a line of another date and
//     time, as every hop of one rtl_power sweep carries the sweep's time;
//   - hackrf_sweep's layout (a time with a fraction): a line whose Hz low is
//     at or below the lowest of the sweep, as its sweeps start again from
//     the lowest frequency;
//   - a line that would take the sweep past the plan's bounds (SweepPlan.h)
//     or 64 MiB of level text.
// Each sweep becomes one measurement message (class 322) of its levels in
// plan order, at the time of its first line; before it, a header message
// (class 321) lays down the frequency plan when the sweep brings a hop the
// plan lacks (SweepPlan.h). A line that is not a sweep line ends the sweep in
// progress and becomes a message of its own (class 323) that names its
// number and what is wrong with it. Blank lines are skipped; CR LF reads as
// LF. The last line without its line end is cut (the tool was stopped): its
// last field is left out, and the hop it belongs to keeps the levels before
// it.
//
// Message times run from the first line's date and time; one before it
// becomes 0.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "CString.h"
#include "DataFile.h"
#include "RolRetc.h"
#include "SweepPlan.h"
#include "SweepRow.h"

class CDataFileSweepCsv : public CDataFile {
 public:
  static constexpr RolRetc kRcCannotOpen = 1001;
  static constexpr RolRetc kRcNoSweepLine = 1002;  // empty, or blank lines only
  static constexpr RolRetc kRcNotSweepFile = 1004;  // the first line is no sweep line

  static constexpr std::int32_t kPlanMsgClass = 321;
  static constexpr std::int32_t kSweepMsgClass = 322;
  static constexpr std::int32_t kUnreadableMsgClass = 323;
  static constexpr std::int16_t kDeviceType = 116;
  static constexpr size_t kMaxSweepText = size_t{64} << 20;

  RolRetc LoadDataFile(const char* pszPath, const char* pszOptions) override;
  RolRetc ReadFileHeader(const char* pszPath) override;
  RolRetc ReadNextMessage(CVyrGenericHsMessage& msg, int nReserved) override;

 private:
  struct CSweep {
    std::int64_t nMs = 0;
    std::string strDate;
    std::string strTime;
    double dLowestHz = 0;
    std::vector<SweepHopLine> lines;
    std::vector<std::pair<size_t, size_t>> texts;  // each line's levels in strText
    std::string strText;
    std::int64_t nBins = 0;
    std::unordered_set<SweepHop, SweepHopRangeHash, SweepHopRangeEqual> ranges;

    bool Empty() const { return lines.empty(); }
    void Clear();
    void Add(const SweepRow& row, bool bCut);
  };
  enum class Out { Plan, Sweep, Unreadable };

  void Reset();
  RolRetc ReadLine(bool& bCut);
  void ReadUntilMessage();
  bool StartsNewSweep(const SweepRow& row) const;
  void CloseSweep();
  void Emit(Out out, CVyrGenericHsMessage& msg);
  void BuildPlanPayload();
  void BuildSweepPayload();
  std::int64_t RelativeMs(std::int64_t nMs) const { return nMs > m_nStartMs ? nMs - m_nStartMs : 0; }

  CString m_strLine;
  std::int64_t m_nLine = 0;
  std::int64_t m_nStartMs = 0;
  bool m_bHackrf = false;  // the first line's layout
  CSweepPlanner m_planner;
  CSweep m_open;  // the sweep being read
  CSweep m_done;  // the sweep whose messages are due
  std::deque<Out> m_due;
  std::int64_t m_nBadLine = 0;
  const char* m_pszBadReason = "";
  std::int64_t m_nLastMs = 0;  // of the last sweep handed on
  RolRetc m_rcEnd = ROL_OK;   // the line reader's code once it stopped
  std::string m_strPayload;
};

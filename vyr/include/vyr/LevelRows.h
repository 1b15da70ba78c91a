// The bin levels that a measurement message leaves in the data state: every
// element of ATTR_ID_SCAN_BIN_DB_MEAN (message scope) that the message set and
// did not clear again, with the frequency of that bin. For a scan log the
// frequency and band come from the frequency plan; for a channel log from the
// channel frequencies (ATTR_ID_SCAN_LOG_FREQ at message scope).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "vyr/FrequencyPlan.h"
#include "vyr/LogDecoder.h"

struct LevelRow {
  int nBin = 0;           // element index
  double dLevel = 0;      // dBm
  int nBand = 0;          // band of a scan log, from 1; 0 for none
  bool bHasFrequency = false;
  double dFrequencyMHz = 0;
};

// The position a message holds, each coordinate on its own: a message keeps
// its latitude when only the longitude text was refused, and the other way
// round. A coordinate equal to kVyrNoPosition is absent.
struct MessagePosition {
  bool bHasLatitude = false;
  bool bHasLongitude = false;
  double dLatitude = 0;
  double dLongitude = 0;
  int nQuality = 0;
  // A point on a map needs both coordinates.
  bool HasBoth() const { return bHasLatitude && bHasLongitude; }
};

MessagePosition GetMessagePosition(const CVyrGenericHsMessage& msg);

// What a row says about its message.
struct MessageFacts {
  std::uint64_t nIndex = 0;
  std::int64_t nTimeMs = 0;  // from the file start
  std::string strTime;       // absolute, ISO 8601 with milliseconds
  MessagePosition position;
};

MessageFacts GetMessageFacts(const DecodedMessage& m, const CVyrMilliSecAbsTime& fileStart);

// The levels left by one message's writes, sorted by element index, without
// frequencies: for each element the last write decides.
void CollectLevelsLeft(const std::vector<CVyrMemoryDataState::Write>& writes, int nLevelAttr,
                       std::vector<LevelRow>& rows);

// The elements of one attribute (at message scope) that a message wrote or
// cleared, as ranges of indexes: the bin levels of a line are one range,
// however many there are.
class CTouchedElements {
 public:
  void Add(int nIndex) {
    if (m_ranges.size() > m_nTaken && m_ranges.back().nEnd == nIndex) ++m_ranges.back().nEnd;
    else m_ranges.push_back({nIndex, static_cast<std::int64_t>(nIndex) + 1});
  }
  // Elements nFirst to nFirst + nCount - 1 (nCount > 0), as if added one by one.
  void AddRange(int nFirst, int nCount) {
    if (m_ranges.size() > m_nTaken && m_ranges.back().nEnd == nFirst) m_ranges.back().nEnd += nCount;
    else m_ranges.push_back({nFirst, static_cast<std::int64_t>(nFirst) + nCount});
  }
  // Takes the elements added since the last call, for Next: sorted, each
  // once. Returns how many there are.
  size_t TakeMessage();
  // The next element taken, in increasing order; false after the last.
  bool Next(int& nIndex);
  // The next consecutive elements taken, at most nMax (> 0) of them, in
  // increasing order: the same as that many calls of Next. False after the last.
  bool NextRun(int& nFirst, int& nCount, size_t nMax);

 private:
  struct Range {
    std::int64_t nFirst;
    std::int64_t nEnd;
  };
  std::vector<Range> m_ranges;
  size_t m_nTaken = 0;  // ranges of the message taken last, at the front
  size_t m_nRange = 0;  // Next's place
  std::int64_t m_nNext = 0;
};

class CLevelRowExtractor {
 public:
  // The attributes whose recorded writes Extract reads: a decode for it
  // need record no others (DecodeOptions::recordedAttributes).
  static std::vector<int> RecordedAttributes(const ScanAttributes& ids = ScanAttributes::Get()) {
    return {ids.nBinLevel, ids.nBandStartIdx};
  }
  // The same when the decode hands its writes to Observer(): the bin levels
  // are then followed through it, as elements written, and read back from
  // the data state, so that their writes need not be copied.
  static std::vector<int> RecordedAttributesWithObserver(const ScanAttributes& ids = ScanAttributes::Get()) {
    return {ids.nBandStartIdx};
  }
  // For DecodeOptions::writeObserver; the extractor must outlive the decode.
  CVyrMemoryDataState::WriteObserver Observer();
  // For DecodeOptions::runObserver, with Observer(): follows a run of bin
  // levels as one range instead of element by element.
  CVyrMemoryDataState::RunObserver RunObserver();

  explicit CLevelRowExtractor(const ScanAttributes& ids = ScanAttributes::Get()) : m_ids(ids), m_plan(ids) {}

  // Follows the frequency plan and fills rows with the levels that a
  // measurement message leaves (none for other messages). With Observer()
  // attached, at most nMaxRows of them: ExtractMore gives the next ones.
  void Extract(const DecodedMessage& m, std::vector<LevelRow>& rows, size_t nMaxRows = SIZE_MAX);
  // The message's next rows, at most nMaxRows; false, with no row, after the last.
  bool ExtractMore(const IVyrDataState& state, std::vector<LevelRow>& rows, size_t nMaxRows);
  // The same from a message's class, writes and the data state after it.
  void Extract(int nMsgClass, const std::vector<CVyrMemoryDataState::Write>& writes, const IVyrDataState& state,
               std::vector<LevelRow>& rows);

  const CFrequencyPlan& Plan() const { return m_plan; }
  // True when the last header laid down a frequency plan (a scan log).
  bool IsScan() const { return !m_plan.IsEmpty(); }

 private:
  void AddFrequencies(const IVyrDataState& state, std::vector<LevelRow>& rows) const;
  void CollectTouchedLevels(const IVyrDataState& state, std::vector<LevelRow>& rows, size_t nMaxRows);

  const ScanAttributes& m_ids;
  bool m_bObserved = false;
  CTouchedElements m_touched;
  std::vector<VyrRetVal> m_levels;  // CollectTouchedLevels's buffer, kept for its capacity
  CFrequencyPlan m_plan;
};

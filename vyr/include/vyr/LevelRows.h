// The bin levels that a measurement message leaves in the data state: every
// element of ATTR_ID_SCAN_BIN_DB_MEAN (message scope) that the message set and
// did not clear again, with the frequency of that bin. For a scan log the
// frequency and band come from the frequency plan; for a channel log from the
// channel frequencies (ATTR_ID_SCAN_LOG_FREQ at message scope).
#pragma once

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

class CLevelRowExtractor {
 public:
  // The attributes whose recorded writes Extract reads: a decode for it
  // need record no others (DecodeOptions::recordedAttributes).
  static std::vector<int> RecordedAttributes(const ScanAttributes& ids = ScanAttributes::Get()) {
    return {ids.nBinLevel, ids.nBandStartIdx};
  }

  explicit CLevelRowExtractor(const ScanAttributes& ids = ScanAttributes::Get()) : m_ids(ids), m_plan(ids) {}

  // Follows the frequency plan and fills rows with the levels that a
  // measurement message leaves (none for other messages).
  void Extract(const DecodedMessage& m, std::vector<LevelRow>& rows);
  // The same from a message's class, writes and the data state after it.
  void Extract(int nMsgClass, const std::vector<CVyrMemoryDataState::Write>& writes, const IVyrDataState& state,
               std::vector<LevelRow>& rows);

  const CFrequencyPlan& Plan() const { return m_plan; }
  // True when the last header laid down a frequency plan (a scan log).
  bool IsScan() const { return !m_plan.IsEmpty(); }

 private:
  void AddFrequencies(const IVyrDataState& state, std::vector<LevelRow>& rows) const;

  const ScanAttributes& m_ids;
  CFrequencyPlan m_plan;
};

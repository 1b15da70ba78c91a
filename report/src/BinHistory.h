// The levels of chosen bins at the points of a log's track, so that the map
// can be coloured by the level at one frequency, including the log's
// strongest one, which is known only once the log is read. Kept as the track
// is kept: a slot per point, each the strongest level of each followed bin
// over the messages it merges, neighbouring slots merged pairwise when full;
// within a number of cells (slots times columns), so that a log of many bins
// gets slots that each span several points rather than more memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "SweepReducer.h"

struct ReducedHistory {
  static constexpr std::int16_t kNone = std::numeric_limits<std::int16_t>::min();
  // A followed bin: the panel it is of, and its frequency (NaN for none).
  struct Column {
    std::uint32_t nPanel = 0;
    std::uint32_t nBin = 0;
    double dMHz = std::numeric_limits<double>::quiet_NaN();
  };
  // The frequencies a panel holds (CReportPanel::HeldRange); empty when none.
  struct Range {
    bool bAny = false;
    double dLowMHz = 0;
    double dHighMHz = 0;
  };

  size_t nStride = 0;                  // cells per slot
  std::vector<std::int16_t> cells;     // tenths of a dB, kNone for no level; slot after slot
  std::vector<std::uint32_t> counts;   // messages (track points before reduction) per slot
  std::vector<Column> columns;
  std::vector<Range> panels;

  std::int16_t At(size_t slot, size_t column) const { return cells[slot * nStride + column]; }
};

class CBinHistory {
 public:
  CBinHistory(size_t nMaxSlots, size_t nMaxCells);

  // A new column, empty for the messages so far; returns its index.
  std::uint32_t AddColumn(std::uint32_t nPanel, std::uint32_t nBin);
  size_t Columns() const { return m_h.columns.size(); }
  // A level of the message in progress, which is a point of the track.
  // Inline: it runs for every followed level.
  void Add(std::uint32_t column, double dbm) {
    if (dbm != dbm) return;
    if (!m_bOpen) Open();
    std::int16_t& cell = m_h.cells[m_nRow + column];
    const std::int16_t t = Tenths(dbm);
    if (t > cell) cell = t;
  }
  // Levels of n consecutive columns from first, as Add: a band whose bins
  // are all followed, in one loop.
  void AddRun(std::uint32_t first, const double* dbm, size_t n) {
    if (!m_bOpen) Open();
    std::int16_t* cells = m_h.cells.data() + m_nRow + first;
    for (size_t i = 0; i < n; ++i) {
      if (dbm[i] != dbm[i]) continue;
      const std::int16_t t = Tenths(dbm[i]);
      if (t > cells[i]) cells[i] = t;
    }
  }
  // The message in progress was a point of the track (with or without levels).
  void EndPoint();
  // The columns' frequencies and the panels' ranges are the caller's to fill.
  // Once: it hands the levels over rather than copy them (up to 32 MB).
  ReducedHistory Finish();

  // As LevelToTenths, from the level as the log gave it.
  static std::int16_t Tenths(double dbm) {
    const double t = std::clamp(dbm * 10.0, -32767.0, 32767.0);
    return static_cast<std::int16_t>(t + (t >= 0 ? 0.5 : -0.5));
  }

 private:
  size_t MaxSlots() const;
  void Open();
  void Restride(size_t nStride);
  static void MergePairs(ReducedHistory& h);

  ReducedHistory m_h;
  size_t m_nMaxSlots;
  size_t m_nMaxCells;
  std::uint32_t m_nPerSlot = 1;
  bool m_bOpen = false;
  size_t m_nRow = 0;  // where the open slot's cells start
};

// The level at mhz at each point of the track: in each panel that holds mhz,
// its followed bin nearest to it; of several panels, the strongest level.
// Empty (no frequency) when no panel holds it.
MapLayer LayerAt(const ReducedHistory& h, const ReducedTrack& track, double mhz);

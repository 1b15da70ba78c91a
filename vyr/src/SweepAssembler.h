// Gathers one measurement message's levels into one row per band of the
// section in force (a level per bin, NaN where the message left none), for
// readers that take a message band by band: tables, waterfalls, sweep lines.
#pragma once

#include <vector>

#include "vyr/Log.h"

namespace vyr::detail {

class CSweepAssembler {
 public:
  struct Row {
    std::vector<double> dbm;  // a level per bin of the band, NaN where none
    std::vector<double> minDbm, maxDbm, stddevDb;  // empty until a level carries them
    bool bTouched = false;
    void SetStatistics(size_t nBin, const Level& level);
  };
  // The row of band nBand of the section, for the current message.
  Row& RowOf(const Section& section, size_t nBand);
  // Hands on the rows of the bands that got a level, in band order, and
  // empties them for the next message.
  void Emit(const Message& m, const Section& section, LogVisitor& visitor);

 private:

  std::vector<Row> m_rows;
  std::vector<size_t> m_touched;
};

}  // namespace vyr::detail

#include "SweepAssembler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vyr::detail {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

CSweepAssembler::Row& CSweepAssembler::RowOf(const Section& section, size_t nBand) {
  if (m_rows.size() < section.bands.size()) m_rows.resize(section.bands.size());
  Row& row = m_rows[nBand];
  if (!row.bTouched) {
    row.bTouched = true;
    m_touched.push_back(nBand);
  }
  // A channel set may have grown since the row was last used.
  const size_t nBins = section.bands[nBand].Bins();
  if (row.dbm.size() != nBins) row.dbm.resize(nBins, kNaN);
  return row;
}

void CSweepAssembler::Row::SetStatistics(size_t nBin, const Level& level) {
  for (auto* v : {&minDbm, &maxDbm, &stddevDb})
    if (v->size() != dbm.size()) v->resize(dbm.size(), kNaN);
  minDbm[nBin] = level.minDbm;
  maxDbm[nBin] = level.maxDbm;
  stddevDb[nBin] = level.stddevDb;
}

void CSweepAssembler::Emit(const Message& m, const Section& section, LogVisitor& visitor) {
  std::sort(m_touched.begin(), m_touched.end());
  for (size_t nBand : m_touched) {
    Row& row = m_rows[nBand];
    const Band& band = section.bands[nBand];
    if (row.dbm.size() != band.Bins()) row.dbm.resize(band.Bins(), kNaN);
    const bool bStatistics = !row.minDbm.empty();
    if (bStatistics)
      for (auto* v : {&row.minDbm, &row.maxDbm, &row.stddevDb}) v->resize(band.Bins(), kNaN);
    visitor.OnSweep(m, Sweep{band, row.dbm.data(), bStatistics ? row.minDbm.data() : nullptr,
                             bStatistics ? row.maxDbm.data() : nullptr, bStatistics ? row.stddevDb.data() : nullptr});
    row.dbm.assign(band.Bins(), kNaN);
    if (bStatistics) row.minDbm.clear(), row.maxDbm.clear(), row.stddevDb.clear();
    row.bTouched = false;
  }
  m_touched.clear();
}

}  // namespace vyr::detail

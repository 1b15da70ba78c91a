#include "BinHistory.h"

#include <algorithm>
#include <cmath>
#include <utility>

CBinHistory::CBinHistory(size_t nMaxSlots, size_t nMaxCells)
    : m_nMaxSlots(std::max<size_t>(1, nMaxSlots)), m_nMaxCells(std::max<size_t>(1, nMaxCells)) {}

size_t CBinHistory::MaxSlots() const {
  return std::max<size_t>(1, std::min(m_nMaxSlots, m_nMaxCells / std::max<size_t>(1, m_h.nStride)));
}

// Slots are reached by data() + offset, never &v[i]: a history of no
// column has empty cells.

// Slots hold room for twice the columns they need when they grow, so that a
// log whose bands appear one by one is laid out again a few times only.
void CBinHistory::Restride(size_t nStride) {
  std::vector<std::int16_t> cells(m_h.counts.size() * nStride, ReducedHistory::kNone);
  for (size_t slot = 0; slot < m_h.counts.size(); ++slot)
    std::copy_n(m_h.cells.data() + slot * m_h.nStride, m_h.nStride, cells.data() + slot * nStride);
  m_h.cells.swap(cells);
  m_h.nStride = nStride;
  if (m_bOpen) m_nRow = (m_h.counts.size() - 1) * nStride;
}

std::uint32_t CBinHistory::AddColumn(std::uint32_t nPanel, std::uint32_t nBin) {
  if (m_h.columns.size() == m_h.nStride) Restride(std::max<size_t>(8, 2 * m_h.nStride));
  m_h.columns.push_back({nPanel, nBin});
  return static_cast<std::uint32_t>(m_h.columns.size() - 1);
}

void CBinHistory::MergePairs(ReducedHistory& h) {
  size_t out = 0;
  const size_t n = h.counts.size();
  for (size_t slot = 0; slot < n; slot += 2, ++out) {
    std::int16_t* dst = h.cells.data() + out * h.nStride;
    const std::int16_t* a = h.cells.data() + slot * h.nStride;
    const bool pair = slot + 1 < n;
    for (size_t c = 0; c < h.nStride; ++c) dst[c] = pair ? std::max(a[c], a[h.nStride + c]) : a[c];
    h.counts[out] = h.counts[slot] + (pair ? h.counts[slot + 1] : 0);
  }
  h.counts.resize(out);
  h.cells.resize(out * h.nStride);
}

// The slot of the message that begins: the last one while it takes more
// messages, else a new one.
void CBinHistory::Open() {
  m_bOpen = true;
  if (!m_h.counts.empty() && m_h.counts.back() < m_nPerSlot) {
    m_nRow = (m_h.counts.size() - 1) * m_h.nStride;
    return;
  }
  while (m_h.counts.size() >= 2 * MaxSlots()) {
    MergePairs(m_h);
    m_nPerSlot *= 2;
  }
  m_h.counts.push_back(0);
  m_h.cells.resize(m_h.counts.size() * m_h.nStride, ReducedHistory::kNone);
  m_nRow = (m_h.counts.size() - 1) * m_h.nStride;
}

void CBinHistory::EndPoint() {
  if (!m_bOpen) Open();
  ++m_h.counts.back();
  m_bOpen = false;
}

ReducedHistory CBinHistory::Finish() {
  const size_t nMaxSlots = MaxSlots();  // of this history's stride
  ReducedHistory h = std::move(m_h);
  m_h = ReducedHistory();
  while (h.counts.size() > nMaxSlots) MergePairs(h);
  return h;
}

MapLayer LayerAt(const ReducedHistory& h, const ReducedTrack& track, double mhz) {
  MapLayer layer;
  // Per panel that holds mhz, its followed column nearest to it.
  std::vector<std::uint32_t> nearest(h.panels.size(), UINT32_MAX);
  for (std::uint32_t c = 0; c < h.columns.size(); ++c) {
    const ReducedHistory::Column& col = h.columns[c];
    if (col.nPanel >= h.panels.size() || std::isnan(col.dMHz)) continue;
    const ReducedHistory::Range& r = h.panels[col.nPanel];
    if (!r.bAny || !(r.dLowMHz <= mhz && mhz <= r.dHighMHz)) continue;
    std::uint32_t& best = nearest[col.nPanel];
    if (best == UINT32_MAX || std::fabs(col.dMHz - mhz) < std::fabs(h.columns[best].dMHz - mhz)) best = c;
  }
  std::vector<std::uint32_t> chosen;
  for (std::uint32_t c : nearest)
    if (c != UINT32_MAX) chosen.push_back(c);
  if (chosen.empty()) return layer;
  layer.dFrequencyMHz = mhz;
  // Point i spans the messages [first, first + counts[i]) of the track, and
  // so does each slot: a point takes the strongest level of the slots it meets.
  std::uint32_t nMostPerPoint = 1, nMostPerSlot = 1;
  size_t slot = 0;
  std::uint64_t slotFirst = 0, pointFirst = 0;
  for (size_t i = 0; i < track.points.size(); ++i) {
    const std::uint64_t pointEnd = pointFirst + (i < track.counts.size() ? track.counts[i] : 1);
    nMostPerPoint = std::max(nMostPerPoint, i < track.counts.size() ? track.counts[i] : 1u);
    TrackLevel best;
    for (size_t s = slot; s < h.counts.size() && slotFirst < pointEnd;) {
      for (std::uint32_t c : chosen) {
        const std::int16_t t = h.At(s, c);
        if (t == ReducedHistory::kNone) continue;
        const float level = static_cast<float>(t / 10.0);
        if (!(level <= best.fLevel)) best = {level, h.columns[c].dMHz};
      }
      const std::uint64_t slotEnd = slotFirst + h.counts[s];
      if (slotEnd > pointEnd) break;  // the slot reaches into the next point
      slotFirst = slotEnd;
      slot = ++s;
    }
    layer.levels.push_back(best);
    pointFirst = pointEnd;
  }
  for (std::uint32_t n : h.counts) nMostPerSlot = std::max(nMostPerSlot, n);
  layer.nPointsPerLevel = std::max<std::uint32_t>(1, (nMostPerSlot + nMostPerPoint - 1) / nMostPerPoint);
  return layer;
}

// Gathers everything the report shows while a log is decoded, in one pass and
// in bounded memory: the summary, one panel per band (or one for the channels
// of a channel log), the strongest signals and the GPS track with the levels
// at the map's frequency.
#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "BinHistory.h"
#include "ReportPanel.h"
#include "vyr/FrequencyStats.h"
#include "vyr/Summary.h"

struct ReportSettings {
  double dSignalThresholdDbm = vyr::Thresholds::kDefaultDbm;  // as `vyrhost stats --above`
  // The frequency whose levels colour the map; NaN: the strongest frequency.
  double dMapFrequencyMHz = std::numeric_limits<double>::quiet_NaN();
  size_t nMaxColumns = 1000;  // waterfall columns per band
  size_t nMaxRows = 600;      // waterfall rows per band
  // Waterfall cells of all bands together: a log of many bands shares them
  // out, so that its page stays small (four full bands).
  size_t nMaxWaterfallCells = 4 * 1000 * 600;
  size_t nMaxTrackPoints = 4000;
  size_t nMaxTrackCells = 12 * 4000;  // track points times (1 + bands followed)
  // Levels kept for the map's frequency: bins times slots (2 bytes each).
  // Enough for 4,000 points of 4,000 bins; more bins share a slot between
  // neighbouring points.
  size_t nMaxHistoryCells = 16 * 1000 * 1000;
  size_t nMaxTopBins = 25;
  // Panels in the page, and bands of each header in its summary; the rest
  // are counted (a campaign's section of a log of many bands).
  size_t nMaxPanelsShown = std::numeric_limits<size_t>::max();
};

// A row of the strongest-signals table: a frequency as `vyrhost stats --top`
// gives it, and where it is on the page.
struct TopBin {
  vyr::FrequencyRow row;
  size_t nPanel = 0;  // the first panel that holds the frequency
  int nChannel = 0;   // from 1 for a channel; 0 for a band's bin
};

// A bin among those StrongestFrequencies ranks; key tells the caller's bin.
struct RankedBin {
  std::int64_t hz = 0;
  int band = 0;
  const vyr::BinStats* stats = nullptr;
  size_t key = 0;
  bool bPeak = true;  // a distinct peak of its band (vyr::DistinctPeaks), or a channel
};
struct RankedRow {
  vyr::FrequencyRow row;
  size_t key = 0;  // of the first of its bins
};
// The n strongest frequencies that are peaks, ranked as `vyrhost stats --top`
// ranks them (the highest maximum first, equal maxima in rising frequency),
// so that a wide carrier is one row, not all of its bins: bins of the same
// frequency, in two panels or plans, are one, their statistics merged in the
// order given, a peak when one of them is.
std::vector<RankedRow> StrongestFrequencies(std::vector<RankedBin> bins, double dThreshold, size_t n);
// Marks the bins of a band's spectrum (bins[first, end), in frequency order)
// that are distinct peaks of their maxima; channels are all peaks.
void MarkPeaks(std::vector<RankedBin>& bins, size_t first, size_t end, bool bChannels);

struct ReportData {
  ReportSettings settings;
  vyr::LogSummary summary;
  bool bScan = false;
  std::vector<std::unique_ptr<CReportPanel>> panels;  // bands in order of appearance, or the channels
  std::vector<TopBin> topBins;                         // strongest first
  ReducedTrack track;  // its bands are the panels, in order; its map layer at the map's frequency
  ReducedHistory history;  // the followed levels, which colour the map at another frequency (a campaign's)
  std::uint64_t nLevelsOutsidePlan = 0;  // scan levels of elements that no band holds
};

class CReportCollector final : public vyr::LogVisitor {
 public:
  explicit CReportCollector(const ReportSettings& settings);
  // The request of a decode for this collector: sweeps and levels, no
  // texts, no ranking (the page shows the bin levels).
  static vyr::DecodeRequest Request(const vyr::DecodeSettings& settings);

  void OnFile(const vyr::FileInfo& info) override { m_summary.OnFile(info); }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override;
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override;
  void OnMessage(const vyr::Message& m) override;
  void OnEnd(const vyr::DecodeResult& r) override { m_summary.OnEnd(r); }
  ReportData Finish();

 private:
  // The index of the panel of a band of the section in force, made when new.
  size_t PanelFor(const vyr::Band& band, const vyr::Section& section);
  // Follows the panel's new bins in the history: all of them, or the one
  // nearest to the map's frequency when one is asked for.
  void Follow(size_t nPanel);
  void FillHistory();

  vyr::SummaryVisitor m_summary;
  CTrackReducer m_track;
  ReportData m_data;
  TrackLevel m_strongest;                // of the current message, in a band or not
  std::vector<TrackLevel> m_trackBands;  // scratch: the strongest level of each panel in a message
  CBinHistory m_history;
  std::vector<std::vector<std::uint32_t>> m_followed;  // per panel, per bin: its history column or kNotFollowed
  std::vector<std::uint32_t> m_runStarts;  // per panel: its first column when all are consecutive, else kNotFollowed
};

// Gathers everything the report shows while a log is decoded, in one pass and
// in bounded memory: the summary, one panel per band (or one for the channels
// of a channel log), the strongest signals and the GPS track.
#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "ReportPanel.h"
#include "vyr/Summary.h"

struct ReportSettings {
  double dSignalThresholdDbm = -80.0;
  size_t nMaxColumns = 1000;  // waterfall columns per band
  size_t nMaxRows = 600;      // waterfall rows per band
  // Waterfall cells of all bands together: a log of many bands shares them
  // out, so that its page stays small (four full bands).
  size_t nMaxWaterfallCells = 4 * 1000 * 600;
  size_t nMaxTrackPoints = 4000;
  size_t nMaxTrackCells = 12 * 4000;  // track points times (1 + bands followed)
  size_t nMaxSignals = 25;
  // Panels in the page, and bands of each header in its summary; the rest
  // are counted (a campaign's section of a log of many bands).
  size_t nMaxPanelsShown = std::numeric_limits<size_t>::max();
};

struct ReportData {
  ReportSettings settings;
  vyr::LogSummary summary;
  bool bScan = false;
  std::vector<std::unique_ptr<CReportPanel>> panels;  // bands in order of appearance, or the channels
  std::vector<Signal> signals;                         // strongest first
  ReducedTrack track;  // its bands are the panels, in order
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

  vyr::SummaryVisitor m_summary;
  CTrackReducer m_track;
  ReportData m_data;
  TrackLevel m_strongest;                // of the current message, in a band or not
  std::vector<TrackLevel> m_trackBands;  // scratch: the strongest level of each panel in a message
};

// Gathers everything the report shows while a log is decoded, in one pass and
// in bounded memory: the summary, one panel per band (or one for the channels
// of a channel log), the strongest signals and the GPS track.
#pragma once

#include <memory>
#include <vector>

#include "ReportPanel.h"
#include "vyr/Summary.h"

struct ReportSettings {
  double dSignalThresholdDbm = -80.0;
  size_t nMaxColumns = 1000;  // waterfall columns per band
  size_t nMaxRows = 600;      // waterfall rows per band
  size_t nMaxTrackPoints = 4000;
  size_t nMaxSignals = 25;
};

struct ReportData {
  ReportSettings settings;
  vyr::LogSummary summary;
  bool bScan = false;
  std::vector<std::unique_ptr<CReportPanel>> panels;  // bands in order of appearance, or the channels
  std::vector<Signal> signals;                         // strongest first
  std::vector<TrackPoint> track;
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
  CReportPanel& PanelFor(const vyr::Band& band);

  vyr::SummaryVisitor m_summary;
  CTrackReducer m_track;
  ReportData m_data;
  float m_fStrongest;  // of the current message
};

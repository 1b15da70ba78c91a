// Gathers everything the report shows while a log is decoded, in one pass and
// in bounded memory: the summary, one panel per band (or one for the channels
// of a channel log), the strongest signals and the GPS track.
#pragma once

#include <memory>
#include <vector>

#include "vyr/LogSummary.h"
#include "ReportPanel.h"

struct ReportSettings {
  double dSignalThresholdDbm = -80.0;
  size_t nMaxColumns = 1000;  // waterfall columns per band
  size_t nMaxRows = 600;      // waterfall rows per band
  size_t nMaxTrackPoints = 4000;
  size_t nMaxSignals = 25;
};

struct ReportData {
  ReportSettings settings;
  LogSummary summary;
  bool bScan = false;
  std::vector<std::unique_ptr<CReportPanel>> panels;  // bands in order of appearance, or the channels
  std::vector<Signal> signals;                         // strongest first
  std::vector<TrackPoint> track;
  std::uint64_t nLevelsOutsidePlan = 0;  // scan levels of elements that no band holds
};

class CReportCollector {
 public:
  explicit CReportCollector(const ReportSettings& settings);
  // The attributes whose recorded writes OnMessage reads: the level rows'
  // and the channel frequencies that the summary lists. The bin levels are
  // followed through WriteObserver(), which the decode must be given.
  static std::vector<int> RecordedAttributes();
  CVyrMemoryDataState::WriteObserver WriteObserver() { return m_extractor.Observer(); }
  // With WriteObserver(): the runs of bin levels followed as ranges.
  CVyrMemoryDataState::RunObserver RunObserver() { return m_extractor.RunObserver(); }
  // The options of a decode for this collector: no texts, no ranking (the
  // page shows the bin levels), the writes it reads recorded or observed.
  DecodeOptions MakeDecodeOptions() {
    DecodeOptions options;
    options.bWantTexts = false;
    options.recordedAttributes = RecordedAttributes();
    options.bSuppressSortOutput = true;
    options.writeObserver = WriteObserver();
    options.runObserver = RunObserver();
    return options;
  }

  void OnFile(const DecodedFileInfo& info);
  void OnMessage(const DecodedMessage& m);
  // The levels of one measurement message, after the plan followed it.
  void AddMeasurement(const MessageFacts& facts, const std::vector<LevelRow>& rows, const CFrequencyPlan& plan,
                      bool bScan);
  ReportData Finish();

 private:
  CReportPanel& PanelFor(int nBand, const CFrequencyPlan& plan);

  CLevelRowExtractor m_extractor;
  CLogSummaryCollector m_summary;
  CTrackReducer m_track;
  ReportData m_data;
  std::vector<LevelRow> m_rows;
  CVyrMilliSecAbsTime m_start;
};

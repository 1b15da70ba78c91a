// Gathers everything the report shows while a log is decoded, in one pass and
// in bounded memory: the summary, one panel per band (or one for the channels
// of a channel log), the strongest signals and the GPS track.
#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "vyr/LogSummary.h"
#include "ReportPanel.h"

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
  LogSummary summary;
  bool bScan = false;
  std::vector<std::unique_ptr<CReportPanel>> panels;  // bands in order of appearance, or the channels
  std::vector<Signal> signals;                         // strongest first
  ReducedTrack track;  // its bands are the panels, in order
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
  // The index of the panel of a band of the plan in force, made when new.
  size_t PanelFor(int nBand, const CFrequencyPlan& plan);

  CLevelRowExtractor m_extractor;
  CLogSummaryCollector m_summary;
  CTrackReducer m_track;
  ReportData m_data;
  std::vector<LevelRow> m_rows;
  std::vector<TrackLevel> m_trackBands;  // scratch: the strongest level of each panel in a message
  CVyrMilliSecAbsTime m_start;
};

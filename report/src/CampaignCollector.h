// A campaign: many logs on one page. Each log is decoded on its own (on any
// thread) into a CampaignLog: its section of the page, which is today's
// report of that log reduced to a smaller size, and its contribution to the
// campaign's tables, reduced as it was decoded (the track, and per frequency
// plan the statistics of every bin). A CCampaign then takes the logs in file
// order, so that the page is the same whatever order they were decoded in.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ReportCollector.h"
#include "vyr/BinStats.h"
#include "vyr/Cut.h"

struct CampaignSettings {
  ReportSettings log;  // the reductions of each log's section
  vyr::DecodeSettings decode;
  vyr::LevelCut cut;  // what each log's decode keeps
  size_t nMaxMapPoints = 20000;  // all tracks together
  size_t nMaxSpectrumColumns = 1000;
  size_t nMaxSignals = 25;
};

// The reductions of each log's section for a campaign of nLogs logs: fewer
// waterfall rows the more logs there are, and the map's points shared out.
CampaignSettings CampaignSettingsFor(size_t nLogs, double dThresholdDbm);

// One bin of a frequency plan (or one channel frequency) over the logs; the
// place of its maximum names the log in file order.
struct CampaignBin {
  double dFrequencyMHz = std::numeric_limits<double>::quiet_NaN();
  vyr::BinStats stats;
  std::uint32_t nLogsAbove = 0;  // logs with a sweep at or above the threshold
};

// The bins of one frequency plan, told by its first and last frequency and
// its number of bins (which give its step); or, with bChannels, the channels
// of every channel log by frequency, in rising order.
struct CampaignBand {
  bool bChannels = false;
  std::int64_t nStartHz = 0;
  std::int64_t nStopHz = 0;
  std::vector<CampaignBin> bins;
  std::uint64_t nSweeps = 0;
  std::uint32_t nLogs = 0;

  bool SamePlan(const CampaignBand& b) const {
    return bChannels == b.bChannels && (bChannels || (nStartHz == b.nStartHz && nStopHz == b.nStopHz &&
                                                      bins.size() == b.bins.size()));
  }
};

// A band or the channels of one log as the logs table lists them.
struct CampaignLogBand {
  bool bChannels = false;
  double dStartMHz = 0;
  double dStopMHz = 0;
  size_t nBins = 0;
  size_t nCampaignBand = 0;  // where the campaign combined it
};

struct CampaignLog {
  std::string strPath;
  std::string strRefusal;  // why the log was refused; empty when it was decoded
  bool bLastLineCut = false;  // vyr::DecodeResult::lastLineCut
  std::string strKind;
  std::string strStart;  // ISO 8601
  std::int64_t nStartMs = 0;
  std::int64_t nDurationMs = 0;
  std::uint64_t nMessages = 0;
  std::uint64_t nPositions = 0;
  float fStrongest = std::numeric_limits<float>::quiet_NaN();
  std::vector<CampaignBand> bands;  // its bands, or its channels; emptied by CCampaign::Add
  std::vector<CampaignLogBand> outline;  // filled by CCampaign::Add
  ReducedTrack track;               // times from the log's start; its bands are the log's panels
  // The campaign band of each panel of the log, -1 for none; before
  // CCampaign::Add, the panel's index in bands.
  std::vector<long long> trackCampaignBands;
  std::string reportJson;           // its section: the data of today's report
};

using CampaignProgressFn = std::function<void(std::uint64_t bytesRead)>;

// Decodes one log for the campaign; a log that cannot be decoded comes back
// with strRefusal set. onProgress gets the bytes read so far.
// nLog is its place in file order, which the maxima name.
CampaignLog DecodeCampaignLog(const std::string& path, std::uint32_t nLog, const CampaignSettings& settings,
                              const CampaignProgressFn& onProgress = nullptr);
// The campaign contribution of a decoded log, from its report.
CampaignLog MakeCampaignLog(const std::string& path, std::uint32_t nLog, const ReportData& report);

struct CampaignSignal {
  size_t nBand = 0;  // index into CampaignData::bands
  size_t nBin = 0;   // the strongest bin
  int nBins = 1;  // width of the run of bins that reached the threshold
};

struct CampaignData {
  CampaignSettings settings;
  std::vector<CampaignLog> logs;    // in file order, refused ones too
  std::vector<CampaignBand> bands;  // plans in order of first appearance; channels where they first appeared
  std::vector<CampaignSignal> signals;  // strongest first
};

class CCampaign {
 public:
  explicit CCampaign(const CampaignSettings& settings) { m_data.settings = settings; }
  // The next log in file order.
  void Add(CampaignLog log);
  CampaignData Finish();

 private:
  // Returns the index of the campaign band that took it.
  size_t AddBand(const CampaignBand& b);
  CampaignData m_data;
};

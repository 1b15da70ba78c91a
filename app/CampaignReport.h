// vyrhost report over several logs: one campaign page.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CampaignCollector.h"

// Called for each log in file order before the campaign takes it: it may
// take the log's section data (reportJson). Returning false stops the
// campaign; the logs not yet decoded are left alone.
using CampaignLogFn = std::function<bool(size_t nLog, CampaignLog& log)>;

// Decodes the logs on up to nJobs threads and combines them in file order
// (so the page is the same whatever nJobs); refused logs are listed in it.
// Progress on a terminal counts logs and bytes.
CampaignData DecodeCampaign(const std::vector<std::string>& files, double dThresholdDbm,
                            const vyr::DecodeSettings& decode, const vyr::LevelCut& cut, int nJobs,
                            const CampaignLogFn& onLog);

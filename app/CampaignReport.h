// vyrhost report over several logs: one campaign page.
#pragma once

#include <string>
#include <vector>

#include "CampaignCollector.h"

// Decodes the logs on up to nJobs threads and combines them in file order
// (so the page is the same whatever nJobs); refused logs are listed in it.
// Progress on a terminal counts logs and bytes.
CampaignData DecodeCampaign(const std::vector<std::string>& files, double dThresholdDbm, int nJobs);

// The campaign page: one self-contained HTML page over many logs. It carries
// the campaign's tables and map as JSON ("campaign-data"), and each log's
// section as the data of today's report ("log-data-N"), which the page draws
// with today's report script when the section comes into view.
#pragma once

#include <string>

#include "CampaignCollector.h"

// The campaign's data as JSON (the page's "campaign-data").
void AppendCampaignJson(std::string& out, const CampaignData& d);
void AppendCampaignHtml(std::string& out, const CampaignData& d);

// The campaign page: one self-contained HTML page over many logs. It carries
// the campaign's tables and map as JSON ("campaign-data"), and each log's
// section as the data of today's report ("log-data-N"), which the page draws
// with today's report script when the section comes into view.
#pragma once

#include <string>

#include "CampaignCollector.h"
#include "ReportHtml.h"

// The campaign's data as JSON (the page's "campaign-data").
void AppendCampaignJson(std::string& out, const CampaignData& d);

// The page in three parts, so that it can be written while the logs are
// decoded and no log's section waits in memory: the head, each decoded log's
// section data in file order, and the tail, which holds the campaign's data.
void AppendCampaignHead(std::string& out, size_t nLogs, const PageOptions& options = {});
void AppendCampaignLogData(std::string& out, size_t nLog, const std::string& reportJson);
void AppendCampaignTail(std::string& out, const CampaignData& d, const PageOptions& options = {});
// All three, with the sections of the logs that still hold them.
void AppendCampaignHtml(std::string& out, const CampaignData& d, const PageOptions& options = {});

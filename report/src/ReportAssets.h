// The files that vyrhost carries for its report, built into the program.
#pragma once

#include <string_view>

std::string_view ReportTemplateHtml();
std::string_view ReportStyleCss();
std::string_view ReportScriptJs();
std::string_view EChartsJs();
std::string_view CommonScriptJs();
std::string_view CampaignTemplateHtml();
std::string_view CampaignStyleCss();
std::string_view CampaignScriptJs();

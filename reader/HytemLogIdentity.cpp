#include "HytemLogIdentity.h"

#include <string_view>

#include "DataFileHsLogHYTEM.h"

int IdentifyHytemLog(const char* pHead, std::size_t nHead) {
  std::string_view head(pHead, nHead);
  std::string_view firstLine = head.substr(0, head.find('\n'));
  return firstLine.find("HYTEM Software") != std::string_view::npos ? 1 : 0;
}

const KelResultCodeDecl s_hytemResultTexts[3] = {
    {CDataFileHsLogHYTEM::kRcCannotOpen, "the file cannot be opened"},
    {CDataFileHsLogHYTEM::kRcLineMissing, "a required line is missing: the file is empty or has no measurement line"},
    {CDataFileHsLogHYTEM::kRcNotHytemLog,
     "not a HYTEM log, or its header or first measurement line is incomplete or unreadable"},
};

// Helpers of the robustness tests: a temporary folder and a load that keeps
// what every message carried.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>

#include "HytemLogRun.h"
#include "TempDir.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

struct RecordedMessage {
  std::int32_t nClass;
  std::int64_t nTimeMs;
  double dLatitude;
  double dLongitude;
  int nQuality;
  std::string payload;
  std::string detail;
};

struct RecordedLoad {
  RolRetc rc;
  std::vector<RecordedMessage> messages;
};

inline RecordedLoad LoadRecorded(const std::string& path) {
  RecordedLoad load;
  const HytemLogRun run = RunHytemLog(path, [&](const CVyrGenericHsMessage& msg, const CVyrExpandedMessage& e) {
    load.messages.push_back({msg.m_nMsgClass, msg.m_msgTime.GetMs(), msg.m_dLatitude, msg.m_dLongitude,
                             msg.m_byPosQuality, msg.GetMsgBuf() ? msg.GetMsgBuf() : "", e.m_strDetailText.str()});
  });
  load.rc = run.rc;
  return load;
}

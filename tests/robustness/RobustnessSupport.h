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
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

class TempDir {
 public:
  TempDir() : m_path((std::filesystem::temp_directory_path() / "kelrobust.XXXXXX").string()) {
    if (!::mkdtemp(m_path.data())) ADD_FAILURE() << "no temporary folder: " << m_path;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_path; }

  // Writes the bytes exactly as given and returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = m_path + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

 private:
  std::string m_path;
};

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

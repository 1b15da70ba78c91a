// Progress on standard error for long work: bytes read of the file size, the
// rate and the time left. Shown only when standard error is a terminal and the
// work has taken more than a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class CProgress {
 public:
  explicit CProgress(std::string label, bool bAllowed = true);
  ~CProgress();
  void Update(std::uint64_t done, std::uint64_t total);

 private:
  std::string m_label;
  bool m_bEnabled;
  bool m_bShown = false;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_lastDraw;
};

#include "Progress.h"

#include "vyr/Log.h"

#include <cstdio>

#include <unistd.h>

CProgress::CProgress(std::string label, bool bAllowed)
    : m_label(vyr::EscapeFileName(label)), m_bEnabled(bAllowed && isatty(STDERR_FILENO) == 1), m_start(std::chrono::steady_clock::now()),
      m_lastDraw(m_start) {}

CProgress::~CProgress() {
  if (m_bShown) std::fputs("\r\033[K", stderr);
}

void CProgress::Update(std::uint64_t done, std::uint64_t total) {
  if (!m_bEnabled) return;
  auto now = std::chrono::steady_clock::now();
  double elapsed = std::chrono::duration<double>(now - m_start).count();
  if (elapsed < 1.0 || now - m_lastDraw < std::chrono::milliseconds(200)) return;
  m_lastDraw = now;
  m_bShown = true;
  double mb = static_cast<double>(done) / 1e6;
  double rate = mb / elapsed;
  double pct = total ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0.0;
  double left = rate > 0 && total > done ? static_cast<double>(total - done) / 1e6 / rate : 0.0;
  std::fprintf(stderr, "\r\033[K%s: %.1f of %.1f MB (%.0f%%), %.1f MB/s, %.0f s left", m_label.c_str(), mb,
               static_cast<double>(total) / 1e6, pct, rate, left);
}

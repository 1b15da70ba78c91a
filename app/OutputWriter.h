// Buffered output to a stdio stream: the host writes a lot of small pieces.
#pragma once

#include <cstdio>
#include <string>

class COutputWriter {
 public:
  explicit COutputWriter(std::FILE* f) : m_file(f) { m_buf.reserve(1 << 16); }
  ~COutputWriter() { Flush(); }
  COutputWriter(const COutputWriter&) = delete;
  COutputWriter& operator=(const COutputWriter&) = delete;

  std::string& Buffer() { return m_buf; }
  // Writes the buffer out once it is large enough.
  void MaybeFlush() {
    if (m_buf.size() >= (1 << 16)) Flush();
  }
  void Flush() {
    if (!m_buf.empty()) std::fwrite(m_buf.data(), 1, m_buf.size(), m_file);
    m_buf.clear();
    std::fflush(m_file);
  }

 private:
  std::FILE* m_file;
  std::string m_buf;
};

// Buffered output to a stdio stream: the host writes a lot of small pieces.
// Every write is checked; after the first failure nothing more is written and
// Failed() tells, with the system's error number. The bytes go to a stdio
// stream or to a sink (an output that decides later where they land).
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>

class IOutputSink {
 public:
  // 0, or the system's error number when the bytes could not be taken.
  virtual int Write(const char* data, size_t size) = 0;
  // Takes the whole buffer (a sink that keeps bytes may keep the string
  // itself instead of a copy); leaves buf empty.
  virtual int Take(std::string& buf) {
    const int nErrno = Write(buf.data(), buf.size());
    buf.clear();
    return nErrno;
  }

 protected:
  ~IOutputSink() = default;
};

class COutputWriter {
 public:
  explicit COutputWriter(std::FILE* f) : m_file(f) { m_buf.reserve(1 << 16); }
  explicit COutputWriter(IOutputSink& sink) : m_sink(&sink) { m_buf.reserve(1 << 16); }
  ~COutputWriter() { Flush(); }
  COutputWriter(const COutputWriter&) = delete;
  COutputWriter& operator=(const COutputWriter&) = delete;

  std::string& Buffer() { return m_buf; }
  // Writes the buffer out once it is large enough.
  void MaybeFlush() {
    if (m_buf.size() >= (1 << 16)) Flush();
  }
  void Flush() {
    if (m_sink) {
      if (m_nErrno == 0 && !m_buf.empty()) m_nErrno = m_sink->Take(m_buf);
      m_buf.clear();
      if (m_buf.capacity() < (1 << 16)) m_buf.reserve(1 << 16);
      return;
    }
    if (m_nErrno == 0 && !m_buf.empty() && std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size())
      m_nErrno = errno ? errno : EIO;
    if (m_nErrno == 0 && std::fflush(m_file) != 0) m_nErrno = errno ? errno : EIO;
    m_buf.clear();
    // A buffer grown for one huge message is given back.
    if (m_buf.capacity() > (1u << 22)) {
      std::string().swap(m_buf);
      m_buf.reserve(1 << 16);
    }
  }
  // Writes what is buffered, then data itself: a large block is not copied
  // into the buffer first.
  void WriteThrough(const char* data, size_t size) {
    Flush();
    if (m_nErrno != 0 || size == 0) return;
    if (m_sink) m_nErrno = m_sink->Write(data, size);
    else if (std::fwrite(data, 1, size, m_file) != size) m_nErrno = errno ? errno : EIO;
  }
  bool Failed() const { return m_nErrno != 0; }
  int Errno() const { return m_nErrno; }

 private:
  std::FILE* m_file = nullptr;
  IOutputSink* m_sink = nullptr;
  std::string m_buf;
  int m_nErrno = 0;
};

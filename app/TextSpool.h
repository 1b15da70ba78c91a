// Text made while a message decodes and written after the message's head,
// such as the listing of its attribute writes: held in memory up to a bound
// and beyond it in an unnamed temporary file in $TMPDIR, so that a line of millions of
// levels is not held in memory as text. Every write to the file is checked.
#pragma once

#include <cstdio>
#include <string>

#include "OutputWriter.h"

class CTextSpool {
 public:
  CTextSpool() = default;
  ~CTextSpool();
  CTextSpool(const CTextSpool&) = delete;
  CTextSpool& operator=(const CTextSpool&) = delete;

  // Append to the buffer, then call MaybeSpill.
  std::string& Buffer() { return m_buf; }
  // Moves the buffer to the temporary file once it passes the bound.
  void MaybeSpill() {
    if (m_buf.size() >= kMemoryBytes) Spill();
  }
  bool Empty() const { return m_buf.empty() && m_nSpilled == 0; }
  // Writes everything held to out, flushing out as it goes, and empties the
  // spool. After a failure of the temporary file nothing more is written and
  // Failed() tells, with the system's error number.
  void MoveTo(COutputWriter& out);
  bool Failed() const { return m_nErrno != 0; }
  int Errno() const { return m_nErrno; }

 private:
  static constexpr size_t kMemoryBytes = 4u << 20;
  void Spill();
  void Fail();

  std::string m_buf;
  std::FILE* m_file = nullptr;
  size_t m_nSpilled = 0;  // bytes in the file
  int m_nErrno = 0;
};

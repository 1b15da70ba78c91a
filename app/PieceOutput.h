// The output of one piece of a large log decoded in pieces side by side:
// held back (in memory up to a bound, the rest in an unnamed temporary
// file) until the pieces before it are written, then copied out in order.
#pragma once

#include <cstddef>
#include <string>

#include "OutputSpool.h"
#include "OutputWriter.h"
#include "vyr/Log.h"

class CPieceOutput final : public IOutputSink {
 public:
  CPieceOutput() : m_spool(kMemoryBytes), m_writer(*this) {}
  CPieceOutput(const CPieceOutput&) = delete;
  CPieceOutput& operator=(const CPieceOutput&) = delete;

  COutputWriter& Writer() { return m_writer; }
  int Write(const char* data, size_t size) override { return m_spool.Append(data, size); }
  int Take(std::string& buf) override { return m_spool.AppendBlock(buf); }
  // Writes what the piece holds to out. 0, or the system's error number
  // when the piece's temporary file failed (out reports its own failures).
  int CopyTo(COutputWriter& out);

 private:
  static constexpr size_t kMemoryBytes = size_t{32} << 20;
  COutputSpool m_spool;
  COutputWriter m_writer;
};

// How the commands cut one large log: on nJobs threads, a log above 64 MiB
// in pieces of nPieceBytes. A command whose output is many times the log's
// text (rows, listings: about 18 bytes out per byte in) takes pieces of
// kListingPieceBytes (256 KiB), so that the output of the pieces in flight stays in
// memory rather than in temporary files. VYRHOST_PIECE_BYTES=N (a whole number from 1) cuts
// every log larger than N bytes into pieces of about N bytes, so that a test
// can cut a small log at every line.
// With it set, "vyrhost: PATH: N pieces, M decoded again" goes to err
// after a log decoded in pieces.
constexpr std::uint64_t kListingPieceBytes = std::uint64_t{256} << 10;
inline vyr::LogDecoder::PieceOptions PieceOptionsFor(int nJobs, std::uint64_t nPieceBytes = std::uint64_t{16} << 20) {
  return vyr::LogDecoder::PieceOptionsFor(nJobs, nPieceBytes);
}
void DescribePieces(const std::string& path, const vyr::DecodeResult& result, std::string& err);
// The number of cores, at least 1.
int CoreCount();

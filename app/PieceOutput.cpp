#include "PieceOutput.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

int CPieceOutput::CopyTo(COutputWriter& out) {
  m_writer.Flush();
  if (m_writer.Failed()) return m_writer.Errno();
  out.Flush();
  return m_spool.CopyOut([&](const char* data, size_t size) {
    out.WriteThrough(data, size);
    return !out.Failed();
  });
}

vyr::LogDecoder::PieceOptions PieceOptionsFor(int nJobs, std::uint64_t nPieceBytes) {
  vyr::LogDecoder::PieceOptions options;
  options.jobs = nJobs;
  options.pieceBytes = nPieceBytes;
  const char* pszBytes = std::getenv("VYRHOST_PIECE_BYTES");
  std::uint64_t nBytes = 0;
  if (pszBytes && *pszBytes) {
    const char* pEnd = pszBytes + std::strlen(pszBytes);
    auto [p, ec] = std::from_chars(pszBytes, pEnd, nBytes);
    if (ec == std::errc() && p == pEnd && nBytes > 0) {
      options.pieceBytes = nBytes;
      options.minLogBytes = nBytes;
    }
  }
  return options;
}

void DescribePieces(const std::string& path, const vyr::DecodeResult& result, std::string& err) {
  const char* pszBytes = std::getenv("VYRHOST_PIECE_BYTES");
  if (!pszBytes || !*pszBytes || result.pieces <= 1) return;
  err += "vyrhost: " + vyr::EscapeFileName(path) + ": " + std::to_string(result.pieces) + " pieces, " +
         std::to_string(result.piecesDecodedAgain) + " decoded again\n";
}

int CoreCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

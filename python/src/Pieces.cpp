#include "Pieces.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char* PieceBytesText() {
  const char* pszBytes = std::getenv("VYRHOST_PIECE_BYTES");
  return pszBytes && *pszBytes ? pszBytes : nullptr;
}
}  // namespace

vyr::LogDecoder::PieceOptions PieceOptionsFor(int jobs) {
  vyr::LogDecoder::PieceOptions options;
  options.jobs = jobs;
  const char* pszBytes = PieceBytesText();
  if (!pszBytes) return options;
  const char* pEnd = pszBytes + std::strlen(pszBytes);
  std::uint64_t nBytes = 0;
  auto [p, ec] = std::from_chars(pszBytes, pEnd, nBytes);
  if (ec == std::errc() && p == pEnd && nBytes > 0) options.pieceBytes = options.minLogBytes = nBytes;
  return options;
}

void NotePieces(const std::string& path, const vyr::DecodeResult& result) {
  if (!PieceBytesText() || result.pieces <= 1) return;
  const std::string note = "vyrhost: " + vyr::EscapeFileName(path) + ": " + std::to_string(result.pieces) +
                           " pieces, " + std::to_string(result.piecesDecodedAgain) + " decoded again\n";
  std::fputs(note.c_str(), stderr);
}

#include "Pieces.h"

#include <cstdio>

void NotePieces(const std::string& path, const vyr::DecodeResult& result) {
  const std::string note = vyr::LogDecoder::DescribePieces(path, result);
  if (!note.empty()) std::fprintf(stderr, "vyrhost: %s\n", note.c_str());
}

#include "PieceOutput.h"

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

void DescribePieces(const std::string& path, const vyr::DecodeResult& result, std::string& err) {
  const std::string note = vyr::LogDecoder::DescribePieces(path, result);
  if (!note.empty()) err += "vyrhost: " + note + "\n";
}

int CoreCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

#include "PieceCutter.h"

#include <algorithm>
#include <new>

namespace vyr::detail {

CPieceCutter::CPieceCutter(const KelFormatDriver& driver, std::uint64_t nPieceBytes)
    : m_driver(driver), m_nPieceBytes(std::max<std::uint64_t>(1, nPieceBytes)) {}

CPieceCutter::~CPieceCutter() {
  Stop();
  if (m_thread.joinable()) m_thread.join();
}

bool CPieceCutter::Start(const std::string& path, VyrCreateDataFileFn pfnCreate, std::uint64_t nMinLogBytes) {
  m_file = MakeReader(pfnCreate);
  if (!m_file || m_file->ProcessFileHeader(path.c_str()) != ROL_OK) return false;
  m_nSize = m_file->GetFileSize();
  if (m_nSize <= nMinLogBytes) return false;
  auto first = std::make_unique<Cut>();
  if (!m_driver.pPieces->pfnSaveReaderState(*m_file, first->readerState)) return false;
  first->info = m_file->GetFileInfo();
  m_cuts.push_back(std::move(first));
  m_thread = std::thread([this] {
    // Memory that runs out while cutting ends the pass there: the last piece
    // then reads on to the log's end itself.
    try {
      Run();
    } catch (const std::bad_alloc&) {
      Finish();
    }
  });
  return true;
}

void CPieceCutter::Run() {
  const KelPiecesDecl& pieces = *m_driver.pPieces;
  const Vocabulary& v = Vocabulary::Of(&m_driver);
  CVyrGenericHsMessage msg, header;
  std::uint64_t nMessages = 0, nHeaderIndex = 0, nNext = m_nPieceBytes;
  std::size_t nHeaders = 0;
  while (!m_bStop) {
    msg.Reset();
    if (pieces.pfnReadWithoutPayload(*m_file, msg) != ROL_OK) break;
    if (v.RoleOf(msg.m_nMsgClass) == Role::Header) {
      header = msg;
      nHeaderIndex = nMessages;
      ++nHeaders;
    }
    ++nMessages;
    const std::uint64_t nAt = m_file->GetBytesRead();
    if (nAt < nNext || nAt >= m_nSize) continue;
    auto cut = std::make_unique<Cut>();
    if (!pieces.pfnSaveReaderState(*m_file, cut->readerState)) break;
    cut->nBegin = nAt;
    cut->info = m_file->GetFileInfo();
    cut->nFirstIndex = nMessages;
    cut->bHasHeader = nHeaders > 0;
    cut->header = header;
    cut->nHeaderIndex = nHeaderIndex;
    cut->nHeaders = nHeaders;
    Publish(std::move(cut));
    nNext = nAt + m_nPieceBytes;
  }
  Finish();
}

void CPieceCutter::Publish(std::unique_ptr<Cut> next) {
  std::lock_guard<std::mutex> g(m_lock);
  m_cuts.reserve(m_cuts.size() + 1);  // what may fail, before the last piece is ended
  Cut& last = *m_cuts.back();
  last.nEnd = next->nBegin;
  last.nEndIndex = next->nFirstIndex;
  next->nPiece = m_cuts.size();
  m_cuts.push_back(std::move(next));
  m_cv.notify_all();
}

void CPieceCutter::Finish() {
  m_file.reset();
  std::lock_guard<std::mutex> g(m_lock);
  m_bDone = true;
  m_cv.notify_all();
}

bool CPieceCutter::WaitForSecondPiece() {
  std::unique_lock<std::mutex> g(m_lock);
  m_cv.wait(g, [&] { return m_bDone || m_cuts.size() > 1; });
  return m_cuts.size() > 1 && !m_bStop;
}

const Cut* CPieceCutter::WaitFor(std::size_t i) {
  std::unique_lock<std::mutex> g(m_lock);
  m_cv.wait(g, [&] { return m_bDone || m_cuts.size() > i + 1; });
  if (m_bStop || i >= m_cuts.size()) return nullptr;
  return m_cuts[i].get();
}

void CPieceCutter::Stop() {
  m_bStop = true;
}

std::size_t CPieceCutter::Pieces() {
  std::lock_guard<std::mutex> g(m_lock);
  return m_cuts.size();
}

}  // namespace vyr::detail

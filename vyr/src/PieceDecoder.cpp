// One large log decoded in pieces side by side. A first pass reads the log
// through the format's reader without payloads and cuts it at message
// boundaries about every pieceBytes, keeping the reader's state, the file
// information and the last header message at each cut. Each piece is then
// decoded by its own reader, decode device, data state and visitor, from a
// guess of the state that the pieces before it leave (their last header,
// decoded again). The pieces are taken in order: the first one is real; each
// later one's guess is checked against the state the real decode has reached
// there (every value the piece read of the guess, its sections, the device's
// state), and the piece's writes laid over it. A guess that does not hold
// costs that piece a second decode from the real state, on the calling
// thread: the result is always that of one decode from the start.
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "CStdioFile.h"
#include "DecodeHooks.h"
#include "DecodingSink.h"
#include "vyr/Log.h"

namespace vyr {
namespace detail {
namespace {

struct Cut {
  std::uint64_t nBegin = 0;
  std::uint64_t nEnd = CStdioFile::kToEnd;
  std::string readerState;
  CDataFileInfo info;
  std::uint64_t nFirstIndex = 0;
  bool bHasHeader = false;
  CVyrGenericHsMessage header;  // the last header message before the cut
  std::uint64_t nHeaderIndex = 0;
  std::size_t nHeaders = 0;  // header messages before the cut
};

// The first pass. False when the log is not to be cut: it is no larger than
// nMinLogBytes, its reader refuses it, or it is read to its end in one piece.
bool FindCuts(const std::string& path, VyrCreateDataFileFn pfnCreate, const KelFormatDriver& driver,
              const LogDecoder::PieceOptions& options, std::vector<Cut>& cuts, std::uint64_t& nSize) {
  const std::uint64_t nPieceBytes = std::max<std::uint64_t>(1, options.pieceBytes);
  const KelPiecesDecl& pieces = *driver.pPieces;
  const Vocabulary& v = Vocabulary::Of(&driver);
  DataFilePtr file = MakeReader(pfnCreate);
  if (!file || file->ProcessFileHeader(path.c_str()) != ROL_OK) return false;
  nSize = file->GetFileSize();
  if (nSize <= options.minLogBytes) return false;
  Cut& first = cuts.emplace_back();
  if (!pieces.pfnSaveReaderState(*file, first.readerState)) return false;
  first.info = file->GetFileInfo();
  CVyrGenericHsMessage msg, header;
  std::uint64_t nMessages = 0, nHeaderIndex = 0, nNext = nPieceBytes;
  std::size_t nHeaders = 0;
  RolRetc rc = ROL_OK;
  for (;;) {
    msg.Reset();
    rc = pieces.pfnReadWithoutPayload(*file, msg);
    if (rc != ROL_OK) break;
    if (v.RoleOf(msg.m_nMsgClass) == Role::Header) {
      header = msg;
      nHeaderIndex = nMessages;
      ++nHeaders;
    }
    ++nMessages;
    const std::uint64_t nAt = file->GetBytesRead();
    if (nAt < nNext || nAt >= nSize) continue;
    Cut cut;
    if (!pieces.pfnSaveReaderState(*file, cut.readerState)) return false;
    cut.nBegin = nAt;
    cut.info = file->GetFileInfo();
    cut.nFirstIndex = nMessages;
    cut.bHasHeader = nHeaders > 0;
    cut.header = header;
    cut.nHeaderIndex = nHeaderIndex;
    cut.nHeaders = nHeaders;
    cuts.back().nEnd = nAt;
    cuts.push_back(std::move(cut));
    nNext = nAt + nPieceBytes;
  }
  return file->ProcessReadNextMessageReturnCode(rc) == ROL_OK && cuts.size() > 1;
}

struct PieceRun {
  std::unique_ptr<LogVisitor> visitor;
  DecodeCounts counts;
  std::unique_ptr<CDecodingSink> sink;
  RolRetc rc = ROL_OK;
  bool bLastLineCut = false;
};

// The decode of one log in pieces: the cuts, the pieces' runs, and the real
// state that the pieces taken so far leave.
class CPieceDecoder {
 public:
  CPieceDecoder(const std::string& path, const DecodeRequest& request, const CDataFileFactoryHelper::Registration& reg,
                const KelFormatDriver& driver, std::vector<Cut> cuts, const std::atomic<bool>& bStop,
                const LogDecoder::MakeVisitor& make)
      : m_path(path), m_request(request), m_reg(reg), m_driver(driver), m_pieces(*driver.pPieces),
        m_cuts(std::move(cuts)), m_bStop(bStop), m_make(make) {
    m_request.progress = nullptr;  // the pieces' threads report none; the caller's thread does
  }

  std::size_t Pieces() const { return m_cuts.size(); }
  std::uint64_t EndOf(std::size_t i) const { return m_cuts[i].nEnd; }
  std::size_t DecodedAgain() const { return m_nDecodedAgain; }
  // The decode of piece i from its guess (the first piece: from the start).
  std::unique_ptr<PieceRun> Guessed(std::size_t i) const {
    const Cut& cut = m_cuts[i];
    PieceStart start;
    if (i > 0) {
      start.nFirstIndex = cut.nFirstIndex;
      start.bAnnounce = false;
      start.bGuess = true;
      start.pGuessHeader = cut.bHasHeader ? &cut.header : nullptr;
      start.nGuessHeaderIndex = cut.nHeaderIndex;
      start.nGuessOrdinal = cut.nHeaders > 0 ? cut.nHeaders - 1 : 0;
    }
    return Run(i, start);
  }
  // Piece i as the real decode has it: the run given if its guess holds,
  // or a decode again from the real state. The real state then includes it.
  std::unique_ptr<PieceRun> Settle(std::size_t i, std::unique_ptr<PieceRun> run) {
    if (run->rc == ROL_OK && (i == 0 ? TakeFirst(*run) : TakeGuessed(*run))) return run;
    if (i == 0 || run->rc == DecodeResult::kStopped) return run;
    ++m_nDecodedAgain;
    run.reset();
    PieceStart start;
    start.nFirstIndex = m_cuts[i].nFirstIndex;
    start.bAnnounce = false;
    start.pRealState = m_realState.get();
    start.pRealSections = m_realSections.get();
    start.pRealDevice = m_pieces.pfnLoadDeviceState ? &m_realDevice : nullptr;
    run = Run(i, start);
    if (run->rc == ROL_OK) {
      m_realSections->CopyState(run->sink->Sections());
      if (!SaveDevice(*run)) run->rc = DecodeResult::kHostRefused;
    }
    return run;
  }

 private:
  std::unique_ptr<PieceRun> Run(std::size_t i, const PieceStart& start) const {
    const Cut& cut = m_cuts[i];
    auto run = std::make_unique<PieceRun>();
    run->visitor = m_make(i);
    FileInfo info;
    info.path = m_path;
    info.type = m_reg.strTypeName.str();
    run->sink = std::make_unique<CDecodingSink>(m_request, std::move(info), &m_driver, m_bStop, *run->visitor,
                                                run->counts, start);
    DataFilePtr file = MakeReader(m_reg.pfnCreate);
    if (!file || !m_pieces.pfnLoadReaderState(*file, cut.readerState)) {
      run->rc = DecodeResult::kHostRefused;
      return run;
    }
    file->SetMessageSink(run->sink.get());
    const std::uint64_t nLength = cut.nEnd == CStdioFile::kToEnd ? CStdioFile::kToEnd : cut.nEnd - cut.nBegin;
    run->rc = file->ProcessStretch(m_path.c_str(), cut.nBegin, nLength, cut.info);
    file->SetMessageSink(nullptr);
    if (run->rc == ROL_OK && !run->sink->Finish(*file)) run->rc = DecodeResult::kHostRefused;
    run->bLastLineCut = run->rc == ROL_OK && file->EndsInUnterminatedLine();
    // A piece read otherwise than the first pass read it is not the log's.
    const std::uint64_t nEndIndex = i + 1 < m_cuts.size() ? m_cuts[i + 1].nFirstIndex : UINT64_MAX;
    if (run->rc == ROL_OK && nEndIndex != UINT64_MAX && cut.nFirstIndex + run->counts.messages != nEndIndex)
      run->rc = DecodeResult::kHostRefused;
    return run;
  }

  bool SaveDevice(PieceRun& run) {
    if (!m_pieces.pfnSaveDeviceState) return true;
    CVyrDecodeDevice* pDevice = run.sink->Device();
    return pDevice && m_pieces.pfnSaveDeviceState(*pDevice, m_realDevice);
  }

  bool TakeFirst(PieceRun& run) {
    m_realState = std::make_unique<CVyrMemoryDataState>(run.sink->State());
    m_realState->SetWriteObserver(nullptr);
    m_realState->SetRunObserver(nullptr);
    m_realSections = std::make_unique<CSectionTracker>(run.sink->Sections());
    return SaveDevice(run);
  }

  bool TakeGuessed(PieceRun& run) {
    CDecodingSink& sink = *run.sink;
    const CSeededDataState* pSeeded = sink.Seeded();
    const CSectionTracker* pGuessed = sink.GuessedSections();
    if (!pSeeded || !pGuessed || !pGuessed->SameState(*m_realSections) || !pSeeded->GuessHolds(*m_realState))
      return false;
    std::string after;
    if (m_pieces.pfnDeviceStretchFrom &&
        (!sink.Device() || !m_pieces.pfnDeviceStretchFrom(*sink.Device(), m_realDevice, after)))
      return false;
    pSeeded->LayOver(*m_realState);
    m_realSections->CopyState(sink.Sections());
    if (m_pieces.pfnDeviceStretchFrom) m_realDevice = std::move(after);
    return true;
  }

  const std::string& m_path;
  DecodeRequest m_request;
  const CDataFileFactoryHelper::Registration& m_reg;
  const KelFormatDriver& m_driver;
  const KelPiecesDecl& m_pieces;
  std::vector<Cut> m_cuts;
  const std::atomic<bool>& m_bStop;
  const LogDecoder::MakeVisitor& m_make;
  std::unique_ptr<CVyrMemoryDataState> m_realState;
  std::unique_ptr<CSectionTracker> m_realSections;
  std::string m_realDevice;
  std::size_t m_nDecodedAgain = 0;
};

// Runs work(i) for i = 0, 1, ... on nJobs threads, at most 2 nJobs ahead of
// the one taken, and take(i, result) on the calling thread in order; take
// returns false to stop.
template <class T, class Work, class Take>
void RunAhead(std::size_t nItems, int nJobs, const Work& work, const Take& take) {
  const std::size_t nThreads = std::min<std::size_t>(static_cast<std::size_t>(std::max(1, nJobs)), nItems);
  const std::size_t nWindow = 2 * nThreads;
  std::vector<std::optional<T>> results(nItems);
  std::size_t nNext = 0, nTaken = 0;
  bool bStopped = false;
  std::mutex lock;
  std::condition_variable cv;
  const DeviceHook hook = CurrentDeviceHook();
  auto worker = [&] {
    SetDeviceHook(hook);
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return bStopped || nNext >= nItems || nNext < nTaken + nWindow; });
        if (bStopped || nNext >= nItems) return;
        i = nNext++;
      }
      T result = work(i);
      std::lock_guard<std::mutex> g(lock);
      results[i] = std::move(result);
      cv.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker);
  for (std::size_t i = 0; i < nItems; ++i) {
    std::optional<T> result;
    {
      std::unique_lock<std::mutex> g(lock);
      cv.wait(g, [&] { return results[i].has_value(); });
      result.swap(results[i]);
    }
    const bool bGoOn = take(i, *result);
    std::lock_guard<std::mutex> g(lock);
    nTaken = i + 1;
    if (!bGoOn) bStopped = true;
    cv.notify_all();
    if (!bGoOn) break;
  }
  for (std::thread& t : threads) t.join();
}

}  // namespace
}  // namespace detail

DecodeResult LogDecoder::DecodeInPieces(const std::string& path, const PieceOptions& options,
                                        const MakeVisitor& make, const TakeVisitor& take) {
  using namespace detail;
  auto decodeWhole = [&] {
    std::unique_ptr<LogVisitor> visitor = make(0);
    DecodeResult result = Decode(path, *visitor);
    take(0, *visitor);
    return result;
  };
  DecodeResult result;
  std::string openError;
  CDataFileFactoryHelper::Registration reg;
  const KelFormatDriver* pDriver = nullptr;
  if (options.jobs <= 1 || !FindLogType(path, result, reg, pDriver, openError) || !pDriver || !pDriver->pPieces)
    return decodeWhole();
  const KelPiecesDecl& p = *pDriver->pPieces;
  if (!p.pfnReadWithoutPayload || !p.pfnSaveReaderState || !p.pfnLoadReaderState) return decodeWhole();
  std::uint64_t nSize = 0;
  std::vector<Cut> cuts;
  if (!FindCuts(path, reg.pfnCreate, *pDriver, options, cuts, nSize)) return decodeWhole();

  m_bStop = false;
  CPieceDecoder pieces(path, m_request, reg, *pDriver, std::move(cuts), m_bStop, make);
  const std::size_t nPieces = pieces.Pieces();
  using RunPtr = std::unique_ptr<PieceRun>;
  RunAhead<RunPtr>(
      nPieces, options.jobs, [&](std::size_t i) { return pieces.Guessed(i); },
      [&](std::size_t i, RunPtr& guessed) {
        RunPtr run = pieces.Settle(i, std::move(guessed));
        result.code = run->rc;
        result.counts.messages += run->counts.messages;
        result.counts.headerMessages += run->counts.headerMessages;
        result.counts.measurementMessages += run->counts.measurementMessages;
        result.counts.attributeWrites += run->counts.attributeWrites;
        if (run->rc == ROL_OK && i + 1 == nPieces) {
          result.lastLineCut = run->bLastLineCut;
          run->visitor->OnEnd(result);
        }
        take(i, *run->visitor);
        if (m_request.progress && run->rc == ROL_OK) m_request.progress(i + 1 == nPieces ? nSize : pieces.EndOf(i), nSize);
        return run->rc == ROL_OK;
      });
  result.pieces = nPieces;
  result.piecesDecodedAgain = pieces.DecodedAgain();
  if (result.code > 0) result.meaning = Meaning(result.code, pDriver);
  if (result.code == DecodeResult::kHostRefused) result.reason = "the log could not be decoded in pieces";
  return result;
}

}  // namespace vyr

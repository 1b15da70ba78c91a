// One large log decoded in pieces side by side. A first pass (PieceCutter)
// cuts the log at message boundaries while the pieces already cut are
// decoded, each by its own reader, decode device, data state and visitor, from a
// guess of the state that the pieces before it leave (their last header,
// decoded again). The pieces are taken in order: the first one is real; each
// later one's guess is checked against the state the real decode has reached
// there (every value the piece read of the guess, its sections, the device's
// state), and the piece's writes laid over it. A guess that does not hold
// costs that piece a second decode from the real state, on the calling
// thread: the result is always that of one decode from the start.
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "DecodeHooks.h"
#include "PieceCutter.h"
#include "PieceRecording.h"
#include "vyr/Log.h"

namespace vyr {
namespace detail {
namespace {

struct PieceRun {
  const Cut* pCut = nullptr;
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
                const KelFormatDriver& driver, const std::atomic<bool>& bStop,
                const LogDecoder::MakeVisitor& make)
      : m_path(path), m_request(request), m_reg(reg), m_driver(driver), m_pieces(*driver.pPieces),
        m_bStop(bStop), m_make(make) {
    m_request.progress = nullptr;  // the pieces' threads report none; the caller's thread does
  }

  std::size_t DecodedAgain() const { return m_nDecodedAgain; }
  // The decode of piece i from its guess (the first piece: from the start).
  std::unique_ptr<PieceRun> Guessed(std::size_t i, const Cut& cut) const {
    PieceStart start;
    if (i > 0) {
      start.nFirstIndex = cut.nFirstIndex;
      start.bAnnounce = false;
      start.bGuess = true;
      start.pGuessHeader = cut.bHasHeader ? &cut.header : nullptr;
      start.nGuessHeaderIndex = cut.nHeaderIndex;
      start.nGuessOrdinal = cut.nHeaders > 0 ? cut.nHeaders - 1 : 0;
    }
    return Run(cut, start);
  }
  // Piece i as the real decode has it: the run given if its guess holds,
  // or a decode again from the real state. The real state then includes it.
  std::unique_ptr<PieceRun> Settle(std::size_t i, std::unique_ptr<PieceRun> run) {
    if (run->rc == ROL_OK && (i == 0 ? TakeFirst(*run) : TakeGuessed(*run))) return run;
    if (i == 0 || run->rc == DecodeResult::kStopped) return run;
    ++m_nDecodedAgain;
    PieceStart start;
    const Cut& cut = *run->pCut;
    start.nFirstIndex = cut.nFirstIndex;
    start.bAnnounce = false;
    start.pRealState = m_realState.get();
    start.pRealSections = m_realSections.get();
    start.pRealDevice = m_pieces.pfnLoadDeviceState ? &m_realDevice : nullptr;
    run.reset();
    run = Run(cut, start);
    if (run->rc == ROL_OK) {
      m_realSections->CopyState(run->sink->Sections());
      if (!SaveDevice(*run)) run->rc = DecodeResult::kHostRefused;
    }
    return run;
  }

 private:
  std::unique_ptr<PieceRun> Run(const Cut& cut, const PieceStart& start) const {
    auto run = std::make_unique<PieceRun>();
    run->pCut = &cut;
    run->visitor = m_make(cut.nPiece);
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
    if (run->rc == ROL_OK && !cut.Last() && cut.nFirstIndex + run->counts.messages != cut.nEndIndex)
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
  const std::atomic<bool>& m_bStop;
  const LogDecoder::MakeVisitor& m_make;
  std::unique_ptr<CVyrMemoryDataState> m_realState;
  std::unique_ptr<CSectionTracker> m_realSections;
  std::string m_realDevice;
  std::size_t m_nDecodedAgain = 0;
};

// Runs work(i) for i = 0, 1, ... on nJobs threads, at most 2 nJobs ahead of
// the one taken, until work returns null (there is no item i, nor any after
// it), and take(i, result) on the calling thread in order; take returns
// false to stop. How many items there are need not be known beforehand.
// What work or take raises ends the run (stopped() is called, so that a
// work waiting for its item gives up) and is raised again once every thread
// is joined.
template <class T, class Work, class Take, class Stopped>
void RunAhead(int nJobs, const Work& work, const Take& take, const Stopped& stopped) {
  const std::size_t nThreads = static_cast<std::size_t>(std::max(1, nJobs));
  const std::size_t nWindow = 2 * nThreads;
  std::map<std::size_t, T> results;
  std::size_t nNext = 0, nTaken = 0, nItems = SIZE_MAX;
  bool bStopped = false;
  std::exception_ptr firstFailure;
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
      T result;
      std::exception_ptr failure;
      try {
        result = work(i);
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard<std::mutex> g(lock);
      if (failure) {
        // Out of memory, say, on a piece's thread: the decode ends, and the
        // calling thread raises it once every thread is joined.
        if (!firstFailure) firstFailure = failure;
        bStopped = true;
      } else if (result) {
        results.emplace(i, std::move(result));
      } else {
        nItems = std::min(nItems, i);
      }
      cv.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker);
  try {
    for (std::size_t i = 0;; ++i) {
      T result;
      {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return bStopped || i >= nItems || results.count(i) > 0; });
        if (bStopped || i >= nItems) break;
        auto it = results.find(i);
        result = std::move(it->second);
        results.erase(it);
      }
      const bool bGoOn = take(i, result);
      std::lock_guard<std::mutex> g(lock);
      nTaken = i + 1;
      if (!bGoOn) bStopped = true;
      cv.notify_all();
      if (!bGoOn) break;
    }
  } catch (...) {
    std::lock_guard<std::mutex> g(lock);
    if (!firstFailure) firstFailure = std::current_exception();
    bStopped = true;
    cv.notify_all();
  }
  stopped();
  for (std::thread& t : threads) t.join();
  if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace
}  // namespace detail

namespace {
const char* PieceBytesText() {
  const char* pszBytes = std::getenv("VYRHOST_PIECE_BYTES");
  return pszBytes && *pszBytes ? pszBytes : nullptr;
}
}  // namespace

LogDecoder::PieceOptions LogDecoder::PieceOptionsFor(int jobs, std::uint64_t pieceBytes) {
  PieceOptions options;
  options.jobs = jobs;
  options.pieceBytes = pieceBytes;
  const char* pszBytes = PieceBytesText();
  if (!pszBytes) return options;
  const char* pEnd = pszBytes + std::strlen(pszBytes);
  std::uint64_t nBytes = 0;
  auto [p, ec] = std::from_chars(pszBytes, pEnd, nBytes);
  if (ec == std::errc() && p == pEnd && nBytes > 0) options.pieceBytes = options.minLogBytes = nBytes;
  return options;
}

std::string LogDecoder::DescribePieces(const std::string& path, const DecodeResult& result) {
  if (!PieceBytesText() || result.pieces <= 1) return {};
  return EscapeFileName(path) + ": " + std::to_string(result.pieces) + " pieces, " +
         std::to_string(result.piecesDecodedAgain) + " decoded again";
}

DecodeResult LogDecoder::DecodeInPieces(const std::string& path, const PieceOptions& options,
                                        const MakeVisitor& make, const TakeVisitor& take) {
  return Pieces(path, options, make, take, nullptr);
}

DecodeResult LogDecoder::DecodeInOrder(const std::string& path, const PieceOptions& options, LogVisitor& visitor) {
  detail::CRecordingPool pool;  // outlives the recordings
  detail::CPieceReplay replay;
  return Pieces(
      path, options, [&](std::size_t) { return std::make_unique<detail::CPieceRecording>(pool); },
      [&](std::size_t, LogVisitor& recording) {
        replay.Replay(static_cast<const detail::CPieceRecording&>(recording), visitor);
      },
      &visitor);
}

// pWhole: the visitor of a log that is not cut, instead of make(0)'s.
DecodeResult LogDecoder::Pieces(const std::string& path, const PieceOptions& options, const MakeVisitor& make,
                                const TakeVisitor& take, LogVisitor* pWhole) {
  using namespace detail;
  auto decodeWhole = [&] {
    if (pWhole) return Decode(path, *pWhole);
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
  CPieceCutter cutter(*pDriver, options.pieceBytes);
  if (!cutter.Start(path, reg.pfnCreate, options.minLogBytes) || !cutter.WaitForSecondPiece())
    return decodeWhole();

  m_bStop = false;
  CPieceDecoder pieces(path, m_request, reg, *pDriver, m_bStop, make);
  using RunPtr = std::unique_ptr<PieceRun>;
  RunAhead<RunPtr>(
      options.jobs,
      [&](std::size_t i) -> RunPtr {
        const Cut* pCut = cutter.WaitFor(i);
        return pCut ? pieces.Guessed(i, *pCut) : nullptr;
      },
      [&](std::size_t i, RunPtr& guessed) {
        RunPtr run = pieces.Settle(i, std::move(guessed));
        const Cut& cut = *run->pCut;
        result.code = run->rc;
        result.counts.messages += run->counts.messages;
        result.counts.headerMessages += run->counts.headerMessages;
        result.counts.measurementMessages += run->counts.measurementMessages;
        result.counts.attributeWrites += run->counts.attributeWrites;
        if (run->rc == ROL_OK && cut.Last()) {
          result.lastLineCut = run->bLastLineCut;
          run->visitor->OnEnd(result);
        }
        take(i, *run->visitor);
        const std::uint64_t nSize = cutter.Size();
        if (m_request.progress && run->rc == ROL_OK) m_request.progress(cut.Last() ? nSize : cut.nEnd, nSize);
        if (run->rc != ROL_OK) cutter.Stop();
        return run->rc == ROL_OK;
      },
      [&] { cutter.Stop(); });
  cutter.Stop();
  result.pieces = cutter.Pieces();
  result.piecesDecodedAgain = pieces.DecodedAgain();
  if (result.code > 0) result.meaning = Meaning(result.code, pDriver);
  if (result.code == DecodeResult::kHostRefused) result.reason = "the log could not be decoded in pieces";
  return result;
}

}  // namespace vyr

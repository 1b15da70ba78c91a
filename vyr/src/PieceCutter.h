// The first pass of a decode in pieces: reads the log through the format's
// reader without payloads and cuts it at message boundaries about every
// pieceBytes, keeping the reader's state, the file information and the last
// header message at each cut. It runs on a thread of its own, so that the
// pieces already cut are decoded while it reads on: a piece is handed out
// once its end is known (the next cut is made, or the pass has ended).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CStdioFile.h"
#include "DecodingSink.h"

namespace vyr::detail {

struct Cut {
  std::size_t nPiece = 0;  // from 0, in file order
  std::uint64_t nBegin = 0;
  std::uint64_t nEnd = CStdioFile::kToEnd;  // kToEnd: the log's last piece
  std::string readerState;
  CDataFileInfo info;
  std::uint64_t nFirstIndex = 0;
  std::uint64_t nEndIndex = UINT64_MAX;  // the next piece's first message; UINT64_MAX for the last
  bool bHasHeader = false;
  CVyrGenericHsMessage header;  // the last header message before the cut
  std::uint64_t nHeaderIndex = 0;
  std::size_t nHeaders = 0;  // header messages before the cut

  bool Last() const { return nEnd == CStdioFile::kToEnd; }
};

class CPieceCutter {
 public:
  CPieceCutter(const KelFormatDriver& driver, std::uint64_t nPieceBytes);
  ~CPieceCutter();
  CPieceCutter(const CPieceCutter&) = delete;
  CPieceCutter& operator=(const CPieceCutter&) = delete;

  // Opens the log and starts the pass on its thread. False when the log is
  // not to be cut: it is no larger than nMinLogBytes or its reader refuses
  // it; the pass has not started then.
  bool Start(const std::string& path, VyrCreateDataFileFn pfnCreate, std::uint64_t nMinLogBytes);
  // Waits until the log is known to have more than one piece (true) or the
  // pass has ended with one (false: it is better decoded whole, by Decode).
  bool WaitForSecondPiece();
  // Waits until piece i is cut; null when the log has no piece i, or after
  // Stop. A pass that meets a reader error (or a state it cannot save) ends
  // its last piece at the log's end: that piece's decode meets the error
  // where one decode of the log would.
  const Cut* WaitFor(std::size_t i);
  // Ends the pass early; WaitFor then hands out no further piece.
  void Stop();
  std::uint64_t Size() const { return m_nSize; }
  std::size_t Pieces();  // cut so far

 private:
  void Run();
  void Publish(std::unique_ptr<Cut> next);
  void Finish();

  const KelFormatDriver& m_driver;
  const std::uint64_t m_nPieceBytes;
  DataFilePtr m_file;
  std::uint64_t m_nSize = 0;
  std::mutex m_lock;
  std::condition_variable m_cv;
  // Whole pieces first; the last one's end is known once m_bDone.
  std::vector<std::unique_ptr<Cut>> m_cuts;
  bool m_bDone = false;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

}  // namespace vyr::detail

// Reads one log through its data-file type and decodes every message through
// the decode device of the file's stream, with one data state for the whole
// file, as the host application does. Messages are handed on one at a time as
// they are read: memory does not grow with the size of the log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "MemoryDataState.h"
#include "RolRetc.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"
#include "VyrTime.h"

class CVyrDecodeDevice;

struct DecodedFileInfo {
  std::string strPath;
  std::string strTypeName;
  CVyrMilliSecAbsTime startTime;
  int nDeviceType = 0;
};

struct DecodedMessage {
  std::uint64_t nIndex;
  const CVyrGenericHsMessage& msg;
  const CVyrExpandedMessage& expanded;
  const std::vector<CVyrMemoryDataState::Write>& writes;  // empty unless recorded
  const CVyrMemoryDataState& dataState;
};

struct DecodeCounts {
  std::uint64_t nMessages = 0;
  std::uint64_t nHeaderMessages = 0;
  std::uint64_t nMeasurementMessages = 0;
  std::uint64_t nAttributeWrites = 0;
  // The log ends in a line without its line end, as a log cut short does:
  // the reader left out that line's last field (see DescribeCutLastLine).
  bool bLastLineCut = false;
};

struct DecodeOptions {
  bool bRecordWrites = true;
  // With bRecordWrites, the attributes whose writes are recorded; empty for all.
  std::vector<int> recordedAttributes;
  bool bWantTexts = true;
  // Skips the ranked lists of scan levels (the data state's sort output),
  // for a reader that does not look at them: a line of millions of levels
  // then holds no ranked copies of them.
  bool bSuppressSortOutput = false;
  // Sees each write and clear as decoding makes it, recorded or not: a
  // reader can keep what it needs of them instead of a copy of each.
  CVyrMemoryDataState::WriteObserver writeObserver;
  // Told of each run write over non-negative indexes at once, instead of
  // writeObserver element by element (CVyrMemoryDataState::SetRunObserver).
  CVyrMemoryDataState::RunObserver runObserver;
  // Called with the file's decode device once it is made, before the first
  // message: a test or fuzz target may adjust the device here.
  std::function<void(CVyrDecodeDevice&)> onDevice;
};

class CLogDecoder {
 public:
  using FileFn = std::function<void(const DecodedFileInfo&)>;
  using MessageFn = std::function<void(const DecodedMessage&)>;
  using ProgressFn = std::function<void(std::uint64_t bytesRead, std::uint64_t fileSize)>;

  explicit CLogDecoder(DecodeOptions options) : m_options(options) {}

  // Asks a decode in progress to stop after the current message (from the
  // message callback, for example when its output cannot be written). Decode
  // then returns kDecodeStopped.
  void Stop() { m_bStop = true; }

  // Decodes the file. onFile runs once, before the first message. Only
  // regular files are read: a folder, FIFO or device is refused at once
  // (-1), and a file that cannot be opened gives 1001 with the system's
  // reason in strError. Returns 0,
  // the reader's result code, or -1 with strError set when the host cannot
  // handle the file at all (unknown type, no decode device), or
  // kDecodeStopped after Stop.
  RolRetc Decode(const std::string& path, const FileFn& onFile, const MessageFn& onMessage, DecodeCounts& counts,
                 std::string& strError, const ProgressFn& onProgress = nullptr);

 private:
  DecodeOptions m_options;
  bool m_bStop = false;
};

constexpr RolRetc kDecodeStopped = -2;

// What a reader's result code means, in words.
std::string DescribeReaderResult(RolRetc rc);

// One line (without its end) telling why Decode failed for a file:
// "vyrhost: PATH: refused with code N: MEANING (REASON)" or "vyrhost: PATH: ERROR".
std::string DescribeDecodeFailure(const std::string& path, RolRetc rc, const std::string& strError);

// One line (without its end) telling that the log ends in a cut line, for
// standard error: "vyrhost: PATH: the last line has no line end ...".
std::string DescribeCutLastLine(const std::string& path);

// A file name as it may be shown on a terminal or in a listing: control
// characters and DEL are written as \xHH (and a backslash as \\), so that a
// name cannot move the cursor or forge a line.
std::string EscapeFileName(const std::string& name);

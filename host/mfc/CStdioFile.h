// A buffered text file in the manner of MFC's CStdioFile. Opened with
// typeText, it reads a CR LF line end exactly as a LF line end, as Windows
// text mode does; a CR that is not followed by LF stays in the line.
//
// A line may be long, but not endless: one longer than the maximum line
// length (64 MiB unless set) stops the reading, so that a file without line
// ends (a device such as /dev/zero, a log filled with garbage) ends with an
// error instead of exhausting memory.
//
// A test or fuzz target may register a buffer under a file name: Open of
// that name then reads the buffer in place, without a file. Nothing is
// registered unless a caller asks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "CString.h"

class CFileException;

class CStdioFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    shareDenyWrite = 0x0020,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };

  CStdioFile();
  ~CStdioFile();
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;

  // Opens for reading; only modeRead is supported. Returns FALSE on failure.
  BOOL Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
  // Opens only the bytes from nBegin on, nLength of them (kToEnd: to the end
  // of the file), as if they were the whole file: a host that reads one file
  // in pieces gives each piece's reader its own stretch. Positions stay those
  // of the whole file.
  static constexpr std::uint64_t kToEnd = UINT64_MAX;
  BOOL OpenStretch(const char* pszFileName, UINT nOpenFlags, std::uint64_t nBegin, std::uint64_t nLength);
  void Close();
  bool IsOpen() const { return m_fd >= 0 || m_pMemory; }

  static constexpr size_t kDefaultMaxLineLength = size_t{64} << 20;
  void SetMaxLineLength(size_t nMax) { m_nMaxLine = nMax; }

  // Opening pszFileName reads these bytes instead of a file until the name is
  // unregistered; the bytes must outlive every file opened on them. For
  // tests and fuzz targets: a host that registers nothing reads files only.
  static void RegisterMemoryFile(const std::string& strName, std::string_view bytes);
  static void UnregisterMemoryFile(const std::string& strName);
  static bool IsMemoryFile(const std::string& strName);
  // The first nMax bytes of a file (all of a shorter one), as they stand,
  // from a registered buffer or the file; false when it cannot be read.
  static bool ReadHead(const std::string& strName, size_t nMax, std::string& out);

  // Reads the next line without its line end, up to the maximum line length.
  // Returns false when no line is left (end of file), on a read error, and
  // from a line longer than the maximum on (LineTooLong() tells).
  bool ReadLine(std::string& line);
  bool ReadString(CString& line) { return ReadLine(line.str()); }

  void SeekToBegin();
  // The offset in the file of the next byte to read, and the file's size.
  std::uint64_t GetPosition() const { return m_nStretchBegin + m_nConsumed; }
  std::uint64_t GetLength() const;
  bool HadError() const { return m_bError; }
  bool LineTooLong() const { return m_bLineTooLong; }
  // True when the line that ReadLine gave last ran to the end of the file
  // without a line end: a file cut short while it was written (a full disk,
  // a dropped cable) ends in such a line. False before the first line and
  // after rewinding; a read that finds no line leaves it as it was.
  bool LastLineUnterminated() const { return m_bLastUnterminated; }
  const CString& GetFilePath() const { return m_strPath; }

 private:
  bool Fill();
  bool StopAtLongLine(std::string& line);
  const char* Data() const { return m_pMemory ? m_pMemory : m_buf.get(); }

  int m_fd = -1;
  std::uint64_t m_nStretchBegin = 0;  // where the stretch opened starts in the file
  std::uint64_t m_nLength = kToEnd;   // the stretch's length
  std::uint64_t m_nLeft = kToEnd;     // bytes of the stretch not yet read from the file
  const char* m_pMemory = nullptr;  // the stretch of a registered buffer read in place, or null
  size_t m_nMemory = 0;
  size_t m_nMemoryFile = 0;  // the whole buffer's size
  size_t m_nMaxLine = kDefaultMaxLineLength;
  bool m_bLineTooLong = false;
  bool m_bLastUnterminated = false;
  bool m_bText = true;
  bool m_bEof = false;
  bool m_bError = false;
  CString m_strPath;
  std::unique_ptr<char[]> m_buf;
  size_t m_nBegin = 0;  // first unread byte in m_buf
  size_t m_nEnd = 0;    // one past the last valid byte in m_buf
  std::uint64_t m_nConsumed = 0;
};

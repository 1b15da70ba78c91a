// A buffered text file in the manner of MFC's CStdioFile. Opened with
// typeText, it reads a CR LF line end exactly as a LF line end, as Windows
// text mode does; a CR that is not followed by LF stays in the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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
  void Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Reads the next line without its line end, whatever its length. Returns
  // false when no line is left (end of file) or on a read error.
  bool ReadLine(std::string& line);
  bool ReadString(CString& line) { return ReadLine(line.str()); }

  void SeekToBegin();
  // Bytes of the file consumed so far and the file's size, for progress.
  std::uint64_t GetPosition() const { return m_nConsumed; }
  std::uint64_t GetLength() const;
  bool HadError() const { return m_bError; }
  const CString& GetFilePath() const { return m_strPath; }

 private:
  bool Fill();

  int m_fd = -1;
  bool m_bText = true;
  bool m_bEof = false;
  bool m_bError = false;
  CString m_strPath;
  std::unique_ptr<char[]> m_buf;
  size_t m_nBegin = 0;  // first unread byte in m_buf
  size_t m_nEnd = 0;    // one past the last valid byte in m_buf
  std::uint64_t m_nConsumed = 0;
};

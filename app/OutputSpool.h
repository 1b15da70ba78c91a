// Output held back until its turn: the first bytes in memory, up to a cap,
// the rest in a temporary file that has no name (made unlinked, so that
// nothing is left behind however the program ends). Every write and read is
// checked. Not thread-safe: the owner locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class COutputSpool {
 public:
  explicit COutputSpool(size_t nMemoryCap) : m_nMemoryCap(nMemoryCap) {}
  ~COutputSpool() { Clear(); }
  COutputSpool(const COutputSpool&) = delete;
  COutputSpool& operator=(const COutputSpool&) = delete;

  // 0, or the system's error number (the spool is then unusable).
  int Append(const char* data, size_t size);
  // Appends block, keeping the string itself while memory allows; leaves
  // block empty.
  int AppendBlock(std::string& block);
  // Hands every byte held, in order, to write (false stops the copy).
  // Returns 0, or the system's error number when reading the file failed.
  int CopyOut(const std::function<bool(const char*, size_t)>& write) const;
  std::uint64_t Size() const { return m_nMemorySize + m_nFileSize; }
  // Drops what is held, closing the temporary file.
  void Clear();

  // The folder of temporary files: $TMPDIR, or /tmp when it is unset or empty.
  static std::string Folder();
  // A read-write file without a name in Folder(); -1 with errno set.
  static int OpenUnnamedFile();

 private:
  // Held in blocks, so that growing never copies what is held already.
  static constexpr size_t kBlockBytes = size_t{1} << 20;
  size_t m_nMemoryCap;
  std::vector<std::string> m_blocks;
  size_t m_nMemorySize = 0;
  int m_fd = -1;
  std::uint64_t m_nFileSize = 0;
};

// Runs one task per file on up to N threads and writes each file's output in
// the order the files were given, byte for byte as a sequential run. The file
// whose turn it is writes straight to standard output; a file decoded ahead
// holds its output back (COutputSpool) until its turn comes, then writes out
// what it holds and goes on writing directly.
//
// Bounds: each file ahead holds up to kSpoolMemoryPerFile in memory (all of
// them together kSpoolMemoryTotal), the rest in a temporary file; at most
// kSpoolHeldBack bytes are held back altogether, and a file ahead that would
// pass it waits for its turn. Workers stay within 2N files of the one being
// written. A spool or standard output that fails ends the run: one line on
// standard error names it and gives the system's reason, nothing more is
// written, and the run fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class COutputWriter;

constexpr size_t kSpoolMemoryPerFile = size_t{4} << 20;
constexpr size_t kSpoolMemoryTotal = size_t{64} << 20;
constexpr std::uint64_t kSpoolHeldBack = std::uint64_t{1} << 30;

// A task writes its output to out (write failures are the runner's to
// report) and its messages for standard error to err. It returns false when
// the file failed.
using FileTask = std::function<bool(const std::string& path, COutputWriter& out, std::string& err)>;

bool RunFilesInOrder(const std::vector<std::string>& files, int nJobs, const FileTask& task);

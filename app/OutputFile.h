// Where a command writes a named output. "-" is standard output. A regular
// file, or a name that does not exist yet, is written to a uniquely named
// temporary file beside it and renamed into place by Commit: a run that fails
// or ends by a fatal signal (SIGINT, SIGTERM, SIGHUP, SIGPIPE, ...) removes
// its temporary file and leaves what was at the target untouched. A symbolic link keeps pointing at the file
// it names, which is the one replaced. Other targets (devices, FIFOs,
// /dev/stdout) are written directly. An output that is one of the inputs,
// under any name or link, is refused before anything is opened for writing;
// so is standard output when it is a regular file that is one of the inputs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class COutputFile {
 public:
  COutputFile() = default;
  ~COutputFile() { Abandon(); }
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  // False with err set (naming the output and the system's reason).
  bool Open(const std::string& name, const std::vector<std::string>& inputs, std::string& err);
  std::FILE* Stream() const { return m_file; }
  // Closes the output and puts it in place; false with err set.
  bool Commit(std::string& err);
  // Closes the output and removes the temporary file, if any.
  void Abandon();

  // Removes the temporary files of runs ended by a signal: installs the
  // handlers of the usual fatal signals (a signal ignored at start, as under
  // nohup, stays ignored). Call once at start-up.
  static void InstallInterruptCleanup();

 private:
  std::string m_name;
  std::string m_target;  // the file that Commit replaces
  std::string m_temp;    // empty when written directly
  std::FILE* m_file = nullptr;
  bool m_bStdout = false;
};

// False with err set when standard output is a regular file that is one of
// the inputs, as in `decode LOG >> LOG`, which would read its own output
// without end.
bool StandardOutputIsAnInput(const std::vector<std::string>& inputs, std::string& err);
// The same, told on standard error: true when the command must not run.
bool RefuseStandardOutputAsInput(const std::vector<std::string>& inputs);

// Opens /dev/null on any of the descriptors 0 to 2 that is closed, so that no
// file opened later takes its number: a closed standard error must not make
// warnings land in an output file. A closed standard output stays unwritable
// (its /dev/null is read-only), so that writes to it fail as before. False
// when a closed one could not be opened.
bool OpenClosedStandardDescriptors();

// "vyrhost: NAME: REASON" for a failed system call (errno).
std::string DescribeSystemError(const std::string& name, int nErrno);

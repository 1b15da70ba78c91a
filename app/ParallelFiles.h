// Runs one task per file on up to N threads and writes each file's output in
// the order the files were given, so that the result is identical to a
// sequential run. A task writes its standard output to the stream it is given
// (a temporary file when it runs ahead of the file being written) and its
// messages for standard error to a string.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Returns false when a task reported failure.
using FileTask = std::function<bool(const std::string& path, std::FILE* out, std::string& err)>;

bool RunFilesInOrder(const std::vector<std::string>& files, int nJobs, const FileTask& task);

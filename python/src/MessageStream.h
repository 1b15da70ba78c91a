// The JSON Lines message records of one log, decoded on a worker thread and
// handed over one at a time, so memory stays flat however long the log is.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "vyr/Log.h"

class CMessageStream {
 public:
  CMessageStream(std::string path, vyr::DecodeSettings settings);
  ~CMessageStream();
  CMessageStream(const CMessageStream&) = delete;
  CMessageStream& operator=(const CMessageStream&) = delete;

  // The next record, or nullopt at the end; rethrows the decode's failure.
  // Call without the Python interpreter lock: it waits for the worker.
  std::optional<std::string> Next();
  // Stops the decode at its next message.
  void Close();

 private:
  void Run(const std::string& path, const vyr::DecodeSettings& settings);
  // Waits until the consumer took the last record; false once closed.
  bool Hand(std::string& record);

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::optional<std::string> m_slot;
  bool m_bDone = false;
  bool m_bClosed = false;
  std::exception_ptr m_failure;
  std::thread m_worker;
};

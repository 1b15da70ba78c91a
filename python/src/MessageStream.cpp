#include "MessageStream.h"

#include "DecodeFormats.h"
#include "LogTables.h"

CMessageStream::CMessageStream(std::string path, std::optional<double> threshold)
    : m_worker([this, path = std::move(path), threshold, owner = std::this_thread::get_id()] {
        Run(path, threshold, owner);
      }) {}

CMessageStream::~CMessageStream() {
  Close();
  if (m_worker.joinable()) m_worker.join();
}

void CMessageStream::Close() {
  std::lock_guard lock(m_mutex);
  m_bClosed = true;
  m_slot.reset();
  m_cv.notify_all();
}

namespace {
// Unwinds the decode loop of a closed stream: the reader's loop has no other
// way out, and every object on the way releases what it holds.
struct StopDecode {};
}  // namespace

// The decode loop cannot be suspended, so the worker waits in the message
// callback until the consumer has taken the previous record.
void CMessageStream::Run(const std::string& path, std::optional<double> threshold, std::thread::id owner) {
  std::string record;
  try {
    DecodeWithThreshold(path, threshold, DecodeOptions(), nullptr, [&](const DecodedMessage& m) {
      {
        std::lock_guard lock(m_mutex);
        if (m_bClosed) throw StopDecode();
      }
      record.clear();
      WriteMessageJsonl(record, m);
      std::unique_lock lock(m_mutex);
      m_cv.wait(lock, [&] { return !m_slot || m_bClosed; });
      if (m_bClosed) throw StopDecode();
      m_slot = std::move(record);
      m_cv.notify_all();
    }, owner);
  } catch (const StopDecode&) {
  } catch (...) {
    std::lock_guard lock(m_mutex);
    m_failure = std::current_exception();
  }
  std::lock_guard lock(m_mutex);
  m_bDone = true;
  m_cv.notify_all();
}

std::optional<std::string> CMessageStream::Next() {
  std::unique_lock lock(m_mutex);
  m_cv.wait(lock, [&] { return m_slot || m_bDone || m_bClosed; });
  if (m_slot) {
    std::optional<std::string> out = std::move(m_slot);
    m_slot.reset();
    m_cv.notify_all();
    return out;
  }
  if (m_failure && !m_bClosed) {
    std::exception_ptr failure = m_failure;
    m_failure = nullptr;
    std::rethrow_exception(failure);
  }
  return std::nullopt;
}

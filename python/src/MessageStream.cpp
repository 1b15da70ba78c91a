#include "MessageStream.h"

#include "vyr/Records.h"

namespace {
// Builds each message's record: its writes as they come, then its head.
class CRecordVisitor final : public vyr::LogVisitor {
 public:
  CRecordVisitor(vyr::LogDecoder& decoder, std::function<bool(std::string&)> hand)
      : m_decoder(decoder), m_hand(std::move(hand)) {}
  void OnWrite(const vyr::AttributeWrite& w) override {
    vyr::AppendWriteJsonl(m_writes, w, m_writes.empty());
  }
  void OnMessage(const vyr::Message& m) override {
    m_record.clear();
    vyr::AppendMessageJsonlHead(m_record, m);
    m_record += m_writes;
    m_record += vyr::kJsonlMessageEnd;
    m_writes.clear();
    if (!m_hand(m_record)) m_decoder.Stop();
  }

 private:
  vyr::LogDecoder& m_decoder;
  std::function<bool(std::string&)> m_hand;
  std::string m_writes;
  std::string m_record;
};
}  // namespace

CMessageStream::CMessageStream(std::string path, vyr::DecodeSettings settings)
    : m_worker([this, path = std::move(path), settings] { Run(path, settings); }) {}

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

bool CMessageStream::Hand(std::string& record) {
  std::unique_lock lock(m_mutex);
  m_cv.wait(lock, [&] { return !m_slot || m_bClosed; });
  if (m_bClosed) return false;
  m_slot = std::move(record);
  m_cv.notify_all();
  return true;
}

// The decode loop cannot be suspended, so the worker waits in the visitor
// until the consumer has taken the previous record.
void CMessageStream::Run(const std::string& path, const vyr::DecodeSettings& settings) {
  try {
    vyr::DecodeRequest request;
    request.settings = settings;
    request.texts = request.writes = request.rankedLevels = true;
    vyr::LogDecoder decoder(request);
    CRecordVisitor visitor(decoder, [this](std::string& record) { return Hand(record); });
    vyr::DecodeResult r = decoder.Decode(path, visitor);
    if (!r.Ok() && r.code != vyr::DecodeResult::kStopped) throw vyr::LogError(path, r);
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

// What the decode of one piece of a log tells its visitor, kept so that it
// can be told again, in file order, to one visitor on the calling thread
// (LogDecoder::DecodeInOrder): for visitors that keep state from message to
// message and cannot be cut into pieces themselves, such as a report.
//
// Everything a visitor is handed is copied: the texts and payloads (the
// reader's buffers are gone by then), the levels, the sweeps' rows, and the
// section in force each time it changes. The replay shows the sections
// through one object whose contents change, as one decode does.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vyr/Log.h"

namespace vyr::detail {

class CRecordingPool;

class CPieceRecording final : public LogVisitor {
 public:
  explicit CPieceRecording(CRecordingPool& pool);
  ~CPieceRecording() override;
  void OnFile(const FileInfo& info) override;
  void OnWrite(const AttributeWrite& w) override;
  void OnLevels(const Message& m, const Level* levels, std::size_t count) override;
  void OnSweep(const Message& m, const Sweep& sweep) override;
  void OnSection(const Section& s) override;
  void OnMessage(const Message& m) override;
  void OnEnd(const DecodeResult& r) override;

 private:
  friend class CPieceReplay;
  enum class Kind : std::uint8_t { File, Write, Levels, Sweep, Section, Message, End };
  struct Event {
    Kind kind;
    std::uint32_t nMessage;  // the message of Levels, Sweep and Message events
    std::size_t nAt;         // into the store of its kind
    std::size_t nCount;      // levels; a sweep's statistics (0 or 1)
    std::size_t nSection;    // the section in force (into m_sections), SIZE_MAX for none
  };
  struct Text {
    std::size_t nAt = 0, nSize = 0;
  };
  struct RecordedWrite {
    AttributeWrite write;  // its texts are in m_text
    Text name, text;
  };
  struct RecordedMessage {
    Message message;  // its payload and texts are in m_text; its section is the event's
    Text payload, summary, name, detail;
  };
  struct RecordedSweep {
    std::size_t nBand;     // in the section in force
    std::size_t nValues;   // into m_values: dbm, then min, max, stddev if given
  };

  // What a recording holds; kept by the pool once replayed, so that the
  // next piece records into memory in use rather than fresh pages.
  struct Store {
    std::vector<Event> events;
    std::string text;
    std::vector<RecordedWrite> writes;
    std::vector<RecordedMessage> messages;
    std::vector<Level> levels;
    std::vector<RecordedSweep> sweeps;
    std::vector<double> values;
    std::vector<Section> sections;
    void Clear();
  };
  friend class CRecordingPool;

  Text Keep(std::string_view text);
  std::string_view TextOf(const Text& t) const { return std::string_view(m_s->text).substr(t.nAt, t.nSize); }
  // The message's record, made at its first event.
  std::uint32_t MessageOf(const Message& m);
  void Add(Kind kind, const Message& m, std::size_t nAt, std::size_t nCount);
  // The section in force, kept again when it changed since it was last kept.
  std::size_t SectionOf(const Section* pSection);

  std::unique_ptr<Store> m_s;
  CRecordingPool* m_pPool;
  FileInfo m_file;
  DecodeResult m_end;
  bool m_bOpenMessage = false;  // the last message recorded has had no OnMessage yet
  std::uint64_t m_nSectionSignature = 0;
};

class CRecordingPool {
 public:
  std::unique_ptr<CPieceRecording::Store> Get();
  void Put(std::unique_ptr<CPieceRecording::Store> store);

 private:
  std::mutex m_lock;
  std::vector<std::unique_ptr<CPieceRecording::Store>> m_free;
};

// Tells visitor what the recordings of a log's pieces hold, piece after
// piece, through one section object of its own.
class CPieceReplay {
 public:
  void Replay(const CPieceRecording& r, LogVisitor& visitor);

 private:
  // Shows the recording's section n (SIZE_MAX: none); the section handed on.
  const Section* Show(const CPieceRecording& r, std::size_t n);

  Section m_section;
  std::size_t m_nShown = SIZE_MAX;  // of the recording being replayed
};

}  // namespace vyr::detail

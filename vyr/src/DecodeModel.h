// What a decode makes of each message, whatever reads the file: the writes
// of the decode device are followed as they are made (handed on as attribute
// writes when asked), and after the message the section it sets up, its
// levels and sweeps, and the message itself go to the visitor.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "LevelCollector.h"
#include "MemoryDataState.h"
#include "SectionTracker.h"
#include "SweepAssembler.h"
#include "Vocabulary.h"
#include "vyr/Log.h"

namespace vyr::detail {

class CDecodeModel {
 public:
  CDecodeModel(const Vocabulary& v, const DecodeRequest& request, LogVisitor& visitor)
      : m_v(v), m_request(request), m_visitor(visitor), m_sections(v), m_levels(v) {}
  CDecodeModel(const CDecodeModel&) = delete;
  CDecodeModel& operator=(const CDecodeModel&) = delete;

  // Follows the writes of the data state; the model must outlive its use.
  void Observe(CVyrMemoryDataState& state);
  // After the message m (its section is filled in) was decoded into state.
  void AfterMessage(Message& m, const IVyrDataState& state);

  // A piece of a log that starts from a guess: the writes of the header
  // decoded between BeginGuess and EndGuess only set up the section, which
  // EndGuess numbers nOrdinal; nothing is handed on.
  void BeginGuess() { m_bGuessing = true; }
  void EndGuess(std::uint64_t nHeader, Role role, const IVyrDataState& state, std::size_t nOrdinal);
  CSectionTracker& Sections() { return m_sections; }
  const CSectionTracker& Sections() const { return m_sections; }

 private:
  void OnWrite(const CVyrMemoryDataState::Write& w);
  void OnRun(const CVyrMemoryDataState::RunWrites& runs);
  void HandOnWrite(const CVyrMemoryDataState::Write& w);
  void HandOnLevels(const Message& m, const IVyrDataState& state);
  std::string_view AttributeName(int nAttrId);

  const Vocabulary& m_v;
  const DecodeRequest& m_request;
  LogVisitor& m_visitor;
  CSectionTracker m_sections;
  CLevelCollector m_levels;
  CSweepAssembler m_sweeps;
  std::unordered_map<int, std::string> m_names;  // schema names of attribute ids, looked up once each
  std::vector<Level> m_batch;
  bool m_bGuessing = false;
};

}  // namespace vyr::detail

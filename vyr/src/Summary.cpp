#include "vyr/Summary.h"

#include <algorithm>

#include "vyr/Payload.h"

namespace vyr {

namespace {
std::vector<BandSummary> SummarizeBands(const Section& s) {
  std::vector<BandSummary> out;
  for (const Band& b : s.bands) {
    BandSummary d{b.number, b.firstElement, b.Bins(), 0, 0, 0};
    if (b.Bins() > 0) {
      d.startMHz = b.StartMHz();
      d.stopMHz = b.StopMHz();
      d.stepKHz = b.StepKHz();
    }
    out.push_back(d);
  }
  return out;
}

std::vector<ChannelSummary> SummarizeChannels(const Section& s) {
  std::vector<ChannelSummary> out;
  for (const Band& b : s.bands)
    for (size_t i = 0; i < b.Bins(); ++i)
      if (b.HasFrequency(i)) out.push_back({b.Element(i), HzToMHz(b.hz[i])});
  return out;
}
}  // namespace

const char* LogSummary::Kind() const {
  if (headers.empty()) return "other";
  if (!headers.front().bands.empty()) return "scan";
  if (!headers.front().channels.empty()) return "channels";
  return "other";
}

std::string LogSummary::EndIso() const {
  Message end;
  end.startMs = file.startMs;
  end.timeMs = durationMs;
  return end.TimeIso();
}

DecodeRequest SummaryVisitor::Request(const DecodeSettings& settings) {
  DecodeRequest r;
  r.settings = settings;
  r.sections = true;
  return r;
}

void SummaryVisitor::OnFile(const FileInfo& info) { m_summary.file = info; }

void SummaryVisitor::OnMessage(const Message& m) {
  ++m_summary.messages;
  ++m_classCounts[m.messageClass];
  m_summary.durationMs = std::max(m_summary.durationMs, m.timeMs);
  if (m.role == Role::Header) {
    HeaderSummary& h = m_summary.headers.emplace_back();
    h.message = m.index;
    m_bNeedColumns = true;
    for (const PayloadField& f : SplitPayload(m.payload)) {
      if (!m_summary.file.versionField.empty() && f.first == m_summary.file.versionField) h.softwareVersion = f.second;
      else h.fields.emplace_back(f.first, f.second);
    }
    // The section it set up, if it set one up.
    if (m.section && m.section->header == m.index) {
      if (m.section->kind == Section::Kind::Plan) h.bands = SummarizeBands(*m.section);
      else h.channels = SummarizeChannels(*m.section);
    }
    return;
  }
  if (m.role != Role::Measurement) return;
  ++m_summary.measurementMessages;
  if (m.position.HasBoth()) ++m_summary.positions;
  if (m_bNeedColumns && !m_summary.headers.empty()) {
    m_bNeedColumns = false;
    for (const PayloadField& f : SplitPayload(m.payload)) m_summary.headers.back().columns.emplace_back(f.first);
  }
}

const LogSummary& SummaryVisitor::Summary() {
  std::vector<MessageClass> known = MessageClassesOf(m_summary.file.deviceType);
  m_summary.classes.clear();
  for (const auto& [cls, n] : m_classCounts) {
    // Captured by value: clang 14 (the fuzz build) cannot capture a structured binding.
    auto it = std::find_if(known.begin(), known.end(), [number = cls](const MessageClass& c) { return c.number == number; });
    m_summary.classes.push_back({cls, it == known.end() ? std::string() : it->name, n});
  }
  return m_summary;
}

}  // namespace vyr

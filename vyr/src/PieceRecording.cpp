#include "PieceRecording.h"

namespace vyr::detail {
namespace {
// What identifies a section's contents as a decode changes them: a new
// section, or a channel set that grew.
std::uint64_t SignatureOf(const Section& s) {
  std::uint64_t n = s.ordinal * 1000003u + s.header * 7919u + (s.kind == Section::Kind::Plan ? 1u : 2u);
  for (const Band& b : s.bands) n = n * 31u + b.hz.size() + 1u;
  return n;
}
}  // namespace

void CPieceRecording::Store::Clear() {
  events.clear();
  text.clear();
  writes.clear();
  messages.clear();
  levels.clear();
  sweeps.clear();
  values.clear();
  sections.clear();
}

std::unique_ptr<CPieceRecording::Store> CRecordingPool::Get() {
  std::lock_guard<std::mutex> g(m_lock);
  if (m_free.empty()) return std::make_unique<CPieceRecording::Store>();
  std::unique_ptr<CPieceRecording::Store> store = std::move(m_free.back());
  m_free.pop_back();
  return store;
}

void CRecordingPool::Put(std::unique_ptr<CPieceRecording::Store> store) {
  store->Clear();
  std::lock_guard<std::mutex> g(m_lock);
  m_free.push_back(std::move(store));
}

CPieceRecording::CPieceRecording(CRecordingPool& pool) : m_s(pool.Get()), m_pPool(&pool) {}

CPieceRecording::~CPieceRecording() { m_pPool->Put(std::move(m_s)); }

CPieceRecording::Text CPieceRecording::Keep(std::string_view text) {
  Text t{m_s->text.size(), text.size()};
  m_s->text.append(text);
  return t;
}

std::size_t CPieceRecording::SectionOf(const Section* pSection) {
  if (!pSection) return SIZE_MAX;
  const std::uint64_t nSignature = SignatureOf(*pSection);
  if (m_s->sections.empty() || nSignature != m_nSectionSignature) {
    m_s->sections.push_back(*pSection);
    m_nSectionSignature = nSignature;
  }
  return m_s->sections.size() - 1;
}

std::uint32_t CPieceRecording::MessageOf(const Message& m) {
  if (m_bOpenMessage && m_s->messages.back().message.index == m.index) return static_cast<std::uint32_t>(m_s->messages.size() - 1);
  RecordedMessage& r = m_s->messages.emplace_back();
  r.message = m;
  r.message.payload = {};
  r.message.texts.summary = r.message.texts.name = r.message.texts.detail = {};
  r.message.section = nullptr;
  r.payload = Keep(m.payload);
  r.summary = Keep(m.texts.summary);
  r.name = Keep(m.texts.name);
  r.detail = Keep(m.texts.detail);
  m_bOpenMessage = true;
  return static_cast<std::uint32_t>(m_s->messages.size() - 1);
}

void CPieceRecording::Add(Kind kind, const Message& m, std::size_t nAt, std::size_t nCount) {
  const std::uint32_t nMessage = MessageOf(m);
  m_s->events.push_back({kind, nMessage, nAt, nCount, SectionOf(m.section)});
}

void CPieceRecording::OnFile(const FileInfo& info) {
  m_file = info;
  m_s->events.push_back({Kind::File, 0, 0, 0, SIZE_MAX});
}

void CPieceRecording::OnWrite(const AttributeWrite& w) {
  RecordedWrite& r = m_s->writes.emplace_back();
  r.write = w;
  r.name = Keep(w.attrName);
  r.text = Keep(w.text);
  r.write.attrName = r.write.text = {};
  m_s->events.push_back({Kind::Write, 0, m_s->writes.size() - 1, 0, SIZE_MAX});
}

void CPieceRecording::OnSection(const Section& s) {
  m_s->events.push_back({Kind::Section, 0, 0, 0, SectionOf(&s)});
}

void CPieceRecording::OnLevels(const Message& m, const Level* levels, std::size_t count) {
  const std::size_t nAt = m_s->levels.size();
  m_s->levels.insert(m_s->levels.end(), levels, levels + count);
  Add(Kind::Levels, m, nAt, count);
}

void CPieceRecording::OnSweep(const Message& m, const Sweep& sweep) {
  // A sweep's band is one of the section's in force.
  const std::vector<Band>& bands = m.section->bands;
  const std::size_t nBand = static_cast<std::size_t>(&sweep.band - bands.data());
  const std::size_t nBins = sweep.band.Bins();
  const std::size_t nAt = m_s->values.size();
  m_s->values.insert(m_s->values.end(), sweep.dbm, sweep.dbm + nBins);
  const bool bStatistics = sweep.minDbm != nullptr;
  if (bStatistics)
    for (const double* p : {sweep.minDbm, sweep.maxDbm, sweep.stddevDb}) m_s->values.insert(m_s->values.end(), p, p + nBins);
  m_s->sweeps.push_back({nBand, nAt});
  Add(Kind::Sweep, m, m_s->sweeps.size() - 1, bStatistics ? 1 : 0);
}

void CPieceRecording::OnMessage(const Message& m) {
  Add(Kind::Message, m, 0, 0);
  m_bOpenMessage = false;
}

void CPieceRecording::OnEnd(const DecodeResult& r) {
  m_end = r;
  m_s->events.push_back({Kind::End, 0, 0, 0, SIZE_MAX});
}

const Section* CPieceReplay::Show(const CPieceRecording& r, std::size_t n) {
  if (n == SIZE_MAX) return nullptr;
  if (m_nShown != n) {
    m_section = r.m_s->sections[n];
    m_nShown = n;
  }
  return &m_section;
}

void CPieceReplay::Replay(const CPieceRecording& r, LogVisitor& visitor) {
  using Kind = CPieceRecording::Kind;
  m_nShown = SIZE_MAX;  // the recording's first section is shown whatever the last one was
  Message m;
  for (const CPieceRecording::Event& e : r.m_s->events) {
    if (e.kind == Kind::File) {
      visitor.OnFile(r.m_file);
    } else if (e.kind == Kind::End) {
      visitor.OnEnd(r.m_end);
    } else if (e.kind == Kind::Write) {
      const CPieceRecording::RecordedWrite& w = r.m_s->writes[e.nAt];
      AttributeWrite a = w.write;
      a.attrName = r.TextOf(w.name);
      a.text = r.TextOf(w.text);
      visitor.OnWrite(a);
    } else if (e.kind == Kind::Section) {
      visitor.OnSection(*Show(r, e.nSection));
    } else {
      const CPieceRecording::RecordedMessage& rm = r.m_s->messages[e.nMessage];
      m = rm.message;
      m.payload = r.TextOf(rm.payload);
      m.texts.summary = r.TextOf(rm.summary);
      m.texts.name = r.TextOf(rm.name);
      m.texts.detail = r.TextOf(rm.detail);
      m.section = Show(r, e.nSection);
      if (e.kind == Kind::Levels) {
        visitor.OnLevels(m, r.m_s->levels.data() + e.nAt, e.nCount);
      } else if (e.kind == Kind::Sweep) {
        const CPieceRecording::RecordedSweep& s = r.m_s->sweeps[e.nAt];
        const Band& band = m_section.bands[s.nBand];
        const double* p = r.m_s->values.data() + s.nValues;
        const std::size_t n = band.Bins();
        visitor.OnSweep(m, e.nCount ? Sweep{band, p, p + n, p + 2 * n, p + 3 * n} : Sweep{band, p, nullptr, nullptr, nullptr});
      } else {
        visitor.OnMessage(m);
      }
    }
  }
}

}  // namespace vyr::detail

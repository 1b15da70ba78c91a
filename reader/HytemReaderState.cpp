// What message reading carries from one line to the next, for a host that
// reads one log in pieces: it reads the log once without payloads, saving the
// state where it cuts the log, and starts each piece's reader with the state
// saved at its start.
#include <cstring>
#include <iterator>
#include <type_traits>

#include "DataFileHsLogHYTEM.h"

namespace {
template <class T>
void Put(std::string& out, const T& value) {
  static_assert(std::is_trivially_copyable_v<T>);
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Reads the saved fields back in order; every read checks the room left.
class CStateReader {
 public:
  explicit CStateReader(std::string_view text) : m_text(text) {}
  template <class T>
  bool Get(T& value) {
    if (m_text.size() < sizeof value) return false;
    std::memcpy(&value, m_text.data(), sizeof value);
    m_text.remove_prefix(sizeof value);
    return true;
  }
  bool GetText(std::string& value) {
    std::uint32_t n = 0;
    if (!Get(n) || m_text.size() < n) return false;
    value.assign(m_text.substr(0, n));
    m_text.remove_prefix(n);
    return true;
  }
  bool AtEnd() const { return m_text.empty(); }

 private:
  std::string_view m_text;
};

constexpr std::uint32_t kStateTag = 0x48595431;  // "HYT1": the layout below
}  // namespace

RolRetc CDataFileHsLogHYTEM::ReadNextMessageWithoutPayload(CVyrGenericHsMessage& msg) {
  m_bWithoutPayload = true;
  const RolRetc rc = ReadNextMessage(msg, 0);
  m_bWithoutPayload = false;
  return rc;
}

void CDataFileHsLogHYTEM::SaveState(std::string& state) const {
  state.clear();
  Put(state, kStateTag);
  Put(state, static_cast<std::uint32_t>(m_columnNames.GetSize()));
  for (int i = 0; i < m_columnNames.GetSize(); ++i) {
    const std::string_view name = m_columnNames[i].view();
    Put(state, static_cast<std::uint32_t>(name.size()));
    state.append(name);
  }
  for (std::int32_t n : {m_nTimeCol, m_nDateCol, m_nLatitudeCol, m_nLongitudeCol, m_nNSCol, m_nWECol, m_nValidityCol})
    Put(state, n);
  Put(state, m_delayBetweenMeasurement);
  Put(state, m_nRepeatCount);
  Put(state, m_dLatestTimeOfDay);
}

bool CDataFileHsLogHYTEM::LoadState(std::string_view text) {
  CStateReader in(text);
  std::uint32_t nTag = 0, nColumns = 0;
  if (!in.Get(nTag) || nTag != kStateTag || !in.Get(nColumns)) return false;
  CStringArray columns;
  std::string name;
  for (std::uint32_t i = 0; i < nColumns; ++i) {
    if (!in.GetText(name)) return false;
    columns.Add(CString(name));
  }
  std::int32_t indexes[7] = {};
  for (std::int32_t& n : indexes)
    if (!in.Get(n)) return false;
  std::int64_t nDelay = 0;
  std::int32_t nRepeatCount = 0;
  double dLatest = 0;
  if (!in.Get(nDelay) || !in.Get(nRepeatCount) || !in.Get(dLatest) || !in.AtEnd()) return false;

  m_columnNames = columns;
  std::int32_t* const targets[] = {&m_nTimeCol, &m_nDateCol, &m_nLatitudeCol, &m_nLongitudeCol,
                                   &m_nNSCol,    &m_nWECol,   &m_nValidityCol};
  for (size_t i = 0; i < std::size(targets); ++i) *targets[i] = indexes[i];
  m_delayBetweenMeasurement = nDelay;
  m_nRepeatCount = nRepeatCount;
  m_dLatestTimeOfDay = dLatest;
  m_plainPayload.SetColumns(m_columnNames);
  return true;
}

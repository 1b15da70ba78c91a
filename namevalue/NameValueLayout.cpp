#include "NameValueLayout.h"

#include <algorithm>
#include <cstdint>

#include "NameValueFields.h"
#include "NameValuePayload.h"
#include "VyrGenericHsMessage.h"

namespace {
constexpr char kNameEnd = '^';
constexpr char kValueEnd = ';';
// Up to this many names, a name is looked for by comparing them in turn.
constexpr size_t kFewNames = 16;

// The innermost scope of the thread: one record, read at every lookup. Its
// 16 bytes take the static TLS model, a plain access instead of a call per
// lookup; the loader keeps room for that much in a library opened later.
struct LayoutScope {
  const char* pBuf = nullptr;
  const CNameValueLayout* pLayout = nullptr;
};
__attribute__((tls_model("initial-exec"))) thread_local LayoutScope t_scope;
}  // namespace

void CNameValueLayout::Learn(std::string_view names, const NameValueDefnMap& map) {
  m_names.assign(names);
  m_pMap = &map;
  m_nameFields.clear();
  m_defns.clear();
  m_firstIndex.clear();
  const std::string_view all = m_names;
  size_t start = 0;
  // Name k is the text before the k-th "^"; the walk ends at an empty one.
  for (size_t caret = all.find(kNameEnd); caret != std::string_view::npos; caret = all.find(kNameEnd, start)) {
    const std::string_view name = all.substr(start, caret - start);
    if (name.empty()) break;
    // A name met again gets no definition: the walk applies its first occurrence only.
    const bool bFirst = m_firstIndex.emplace(name, m_nameFields.size()).second;
    m_nameFields.push_back(name);
    m_defns.push_back(bFirst ? map.PLookupText(name) : nullptr);
    start = caret + 1;
  }
  m_bAllNamed = start == all.size();
}

namespace {
// Whether the index's names section can be the payload's: it ends in "^".
// (That it is the whole section, through the last "^", is the index's
// promise, as is that its value ends are every ";" after it.)
bool NamesFit(std::string_view payload, const VyrPayloadIndex& index) {
  const size_t nNames = index.nNamesLength;
  return nNames != 0 && nNames <= payload.size() && payload[nNames - 1] == kNameEnd;
}
}  // namespace

// The names section of the last payload, when this one has the same;
// otherwise the section is found and learnt afresh. False for a names
// section that holds a ";".
bool CNameValueLayout::TakeNames(std::string_view payload, const NameValueDefnMap& map, const VyrPayloadIndex* pIndex,
                                 size_t& nNames) {
  nNames = m_names.size();
  const bool bSameStart = &map == m_pMap && nNames != 0 && payload.size() >= nNames &&
                          payload.compare(0, nNames, m_names) == 0;
  // An index tells where the section ends; without one, no "^" may follow it.
  const bool bSame = bSameStart && (pIndex ? pIndex->nNamesLength == nNames
                                           : payload.find(kNameEnd, nNames) == std::string_view::npos);
  if (bSame) return true;
  const size_t lastCaret = pIndex ? pIndex->nNamesLength - 1 : payload.rfind(kNameEnd);
  if (lastCaret == std::string_view::npos) return false;
  const std::string_view names = payload.substr(0, lastCaret + 1);
  if (names.find(kValueEnd) != std::string_view::npos) {
    m_pMap = nullptr;
    m_names.clear();
    return false;
  }
  Learn(names, map);
  nNames = names.size();
  return true;
}

bool CNameValueLayout::Split(std::string_view payload, const NameValueDefnMap& map, const VyrPayloadIndex* pIndex) {
  m_nValues = 0;
  m_pTailDefn = nullptr;
  m_nHint = 0;
  if (pIndex && !NamesFit(payload, *pIndex)) pIndex = nullptr;
  size_t nNames = 0;
  if (!TakeNames(payload, map, pIndex, nNames)) return false;
  // The names section holds no ";": value 0 is the text after the last "^"
  // up to the first ";", value k the text after the k-th ";".
  m_tail = payload.substr(nNames);
  // An index that does not describe the payload is set aside.
  if (pIndex && !TakeIndexedValues(payload, *pIndex)) return Split(payload, map, nullptr);
  if (!pIndex) TakeValues();
  if (m_nValues > m_nameFields.size() && FirstIndexOf(m_tail) == std::string_view::npos)
    m_pTailDefn = map.PLookupText(m_tail);  // a name of its own: its first occurrence
  return true;
}

void CNameValueLayout::AddValue(std::string_view value) {
  if (m_nValues == m_values.size()) m_values.push_back(value);
  else m_values[m_nValues] = value;
  ++m_nValues;
}

size_t CNameValueLayout::MaxPairs() const {
  return m_bAllNamed && !m_tail.empty() ? m_nameFields.size() + 1 : m_nameFields.size();
}

void CNameValueLayout::TakeValues() {
  const char* const begin = m_tail.data();
  const char* const end = begin + m_tail.size();
  const char* semi = NameValueFindSeparator(begin, end, kValueEnd);
  if (semi == end || m_nameFields.empty()) return;  // no pair
  const size_t nMaxPairs = MaxPairs();
  AddValue(std::string_view(begin, static_cast<size_t>(semi - begin)));  // the first value may be empty
  while (m_nValues < nMaxPairs && semi != end) {
    const char* start = semi + 1;
    semi = NameValueFindSeparator(start, end, kValueEnd);
    if (semi == start) break;  // an empty value ends the walk
    AddValue(std::string_view(start, static_cast<size_t>(semi - start)));
  }
}

// The same pairs from the payload's index, which lists every ";": the walk
// ends after the last one, or at an empty value. Each end that the walk uses
// is checked to be a ";" after the one before; false, with the values
// unspecified, when one is not, or when text follows the last.
bool CNameValueLayout::TakeIndexedValues(std::string_view payload, const VyrPayloadIndex& index) {
  if (m_nameFields.empty()) return true;  // no pair
  if (index.nValues == 0) return index.nNamesLength == payload.size();
  const size_t nMaxPairs = std::min<size_t>(MaxPairs(), index.nValues);
  // Written in place, without a test of room per value.
  if (m_values.size() < nMaxPairs) m_values.resize(nMaxPairs);
  std::string_view* const pValues = m_values.data();
  const char* const text = payload.data();
  const std::uint32_t* const pEnds = index.pValueEnds;
  size_t nStart = index.nNamesLength;
  size_t k = 0;
  for (; k < nMaxPairs; ++k) {
    const size_t nEnd = pEnds[k];
    if (nEnd < nStart || nEnd >= payload.size() || text[nEnd] != kValueEnd) return false;
    if (nEnd == nStart && k > 0) break;  // an empty value ends the walk; the first may be empty
    pValues[k] = std::string_view(text + nStart, nEnd - nStart);
    nStart = nEnd + 1;
  }
  m_nValues = k;
  // The walk went through the whole index: no text may follow its last ";".
  return k < index.nValues || nStart == payload.size();
}

size_t CNameValueLayout::FirstIndexOf(std::string_view name) const {
  if (m_nameFields.size() > kFewNames) {
    const auto it = m_firstIndex.find(name);
    return it == m_firstIndex.end() ? std::string_view::npos : it->second;
  }
  for (size_t k = 0; k < m_nameFields.size(); ++k)
    if (m_nameFields[k] == name) return k;
  return std::string_view::npos;
}

bool CNameValueLayout::Find(std::string_view name, std::string_view& value) const {
  // A routine mostly reads the field it runs for.
  size_t k = m_nHint < m_nameFields.size() && m_nameFields[m_nHint] == name && m_defns[m_nHint] ? m_nHint
                                                                                                  : FirstIndexOf(name);
  if (k == std::string_view::npos && m_bAllNamed && !m_tail.empty() && name == m_tail) k = m_nameFields.size();
  // The lookup compares at most the first 10001 names.
  if (k == std::string_view::npos || k >= m_nValues || k > static_cast<size_t>(kNameValueLookupLimit))
    return false;
  value = m_values[k];
  return true;
}

CNameValueLayoutScope::CNameValueLayoutScope(const CVyrGenericHsMessage& msg, const CNameValueLayout& layout)
    : m_pPrevBuf(t_scope.pBuf), m_pPrevLayout(t_scope.pLayout) {
  t_scope = LayoutScope{msg.GetMsgBuf(), &layout};
}

CNameValueLayoutScope::~CNameValueLayoutScope() {
  t_scope = LayoutScope{m_pPrevBuf, m_pPrevLayout};
}

const CNameValueLayout* CNameValueLayoutScope::For(const CVyrGenericHsMessage& msg) {
  const LayoutScope& scope = t_scope;
  if (!scope.pLayout) return nullptr;
  const char* buf = msg.GetMsgBuf();
  return buf && buf == scope.pBuf ? scope.pLayout : nullptr;
}

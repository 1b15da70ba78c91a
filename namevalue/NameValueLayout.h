// The fields of payloads that repeat one names section. The messages of a log
// carry the same column names line after line, so the definition of each name
// and the place of each name among the fields are found once, for the first
// payload with those names, and reused while the names section stays
// byte for byte the same; only the values are split afresh.
//
// The layout handles payloads whose names section (everything through the
// last "^") holds no ";". Split refuses any other payload, which the caller
// then walks the plain way. Split follows the walk of NameValueDecoder and of
// NameValueFindValue exactly: the same pairs, the same stop at the first empty
// name or value, the same first occurrence of a name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NameValueDefn.h"
#include "VyrGenericHsMessage.h"

class CNameValueLayout {
 public:
  // Splits the payload; false when the layout does not handle it. The map
  // must not change while this layout is used with it. With the index that
  // the payload's builder left in the message (when it describes the
  // payload), the payload is not searched for its delimiters at all.
  bool Split(std::string_view payload, const NameValueDefnMap& map, const VyrPayloadIndex* pIndex = nullptr);

  // The pairs that the walk visits, and pair k's definition (null when its
  // name has none or occurred before) and value.
  size_t PairCount() const { return m_nValues; }
  const NameValueDefn* Definition(size_t k) const { return k < m_defns.size() ? m_defns[k] : m_pTailDefn; }
  // Notes the pair whose routine runs: Find looks at its name first.
  void SetHint(size_t k) const { m_nHint = k; }
  std::string_view Value(size_t k) const { return m_values[k]; }

  // What NameValueFindValue answers for the payload last split.
  bool Find(std::string_view name, std::string_view& value) const;

 private:
  bool TakeNames(std::string_view payload, const NameValueDefnMap& map, const VyrPayloadIndex* pIndex,
                 size_t& nNames);
  void Learn(std::string_view names, const NameValueDefnMap& map);
  size_t MaxPairs() const;
  void AddValue(std::string_view value);
  void TakeValues();
  bool TakeIndexedValues(std::string_view payload, const VyrPayloadIndex& index);
  size_t FirstIndexOf(std::string_view name) const;

  std::string m_names;                       // the names section, through its last "^"
  const NameValueDefnMap* m_pMap = nullptr;  // the map the definitions come from
  std::vector<std::string_view> m_nameFields;  // into m_names, up to the first empty one
  std::vector<const NameValueDefn*> m_defns;   // per name field
  bool m_bAllNamed = false;  // no empty name cut the names section short
  std::unordered_map<std::string_view, size_t> m_firstIndex;  // for many names only
  // The field after the last "^" counts as one more name: the text of the
  // values section, visited when a payload has more values than names.
  std::string_view m_tail;
  const NameValueDefn* m_pTailDefn = nullptr;
  // The values of the payload last split: the first m_nValues of m_values,
  // whose storage is kept for the next payload.
  std::vector<std::string_view> m_values;
  size_t m_nValues = 0;
  mutable size_t m_nHint = 0;
};

// While alive, NameValueFindValue answers lookups in the message's payload
// from the layout that split it (it must stay unchanged meanwhile). Scopes
// nest; each thread has its own.
class CNameValueLayoutScope {
 public:
  CNameValueLayoutScope(const CVyrGenericHsMessage& msg, const CNameValueLayout& layout);
  ~CNameValueLayoutScope();
  CNameValueLayoutScope(const CNameValueLayoutScope&) = delete;
  CNameValueLayoutScope& operator=(const CNameValueLayoutScope&) = delete;

  // The layout of the message's payload, or null.
  static const CNameValueLayout* For(const CVyrGenericHsMessage& msg);

 private:
  const char* m_pPrevBuf;
  const CNameValueLayout* m_pPrevLayout;
};

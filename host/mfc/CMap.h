// MFC's hash map template: a fixed number of buckets (17 unless set before the
// first insertion), chained entries, whole-key comparison. Keys are stored as
// KEY (an owned copy) and looked up through ARG_KEY.
#pragma once

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "CString.h"

template <class ARG_KEY>
inline unsigned HashKey(ARG_KEY key) {
  return static_cast<unsigned>(key) >> 4;
}

// FNV-1a over the bytes of the key: byte for byte, case-sensitive.
inline unsigned HashBytes(std::string_view s) {
  unsigned h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}
template <>
inline unsigned HashKey<const char*>(const char* key) {
  return HashBytes(key ? std::string_view(key) : std::string_view());
}
template <>
inline unsigned HashKey<const CString&>(const CString& key) {
  return HashBytes(key.view());
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap {
 public:
  explicit CMap(int nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

  // Sets the bucket count; only honoured while the map is empty.
  void InitHashTable(unsigned nHashSize) {
    if (m_nCount == 0 && nHashSize > 0) m_nHashSize = nHashSize;
  }
  unsigned GetHashTableSize() const { return m_nHashSize; }
  int GetCount() const { return m_nCount; }
  bool IsEmpty() const { return m_nCount == 0; }

  // Adds the key, or replaces the value of an existing key.
  void SetAt(ARG_KEY key, ARG_VALUE value) {
    if (Entry* e = Find(key)) {
      e->value = value;
      return;
    }
    if (m_buckets.empty()) m_buckets.resize(m_nHashSize);
    auto& chain = m_buckets[HashKey<ARG_KEY>(key) % m_nHashSize];
    if (chain.empty()) chain.reserve(static_cast<size_t>(m_nBlockSize));
    chain.push_back(Entry{KEY(key), value});
    ++m_nCount;
  }

  bool Lookup(ARG_KEY key, VALUE& rValue) const {
    const Entry* e = const_cast<CMap*>(this)->Find(key);
    if (!e) return false;
    rValue = e->value;
    return true;
  }

  // Lookup without a copy, for host code on hot paths.
  const VALUE* PLookup(ARG_KEY key) const {
    const Entry* e = const_cast<CMap*>(this)->Find(key);
    return e ? &e->value : nullptr;
  }

  // The same for a map with text keys, by the bytes of a key that need not
  // end in NUL: finds what PLookup finds for a terminated copy of it.
  const VALUE* PLookupText(std::string_view key) const {
    if (m_buckets.empty()) return nullptr;
    for (const Entry& e : m_buckets[HashBytes(key) % m_nHashSize])
      if (e.key.view() == key) return &e.value;
    return nullptr;
  }

  void RemoveAll() {
    m_buckets.clear();
    m_nCount = 0;
  }

 private:
  struct Entry {
    KEY key;
    VALUE value;
  };

  Entry* Find(ARG_KEY key) {
    if (m_buckets.empty()) return nullptr;
    for (Entry& e : m_buckets[HashKey<ARG_KEY>(key) % m_nHashSize])
      if (e.key == key) return &e;
    return nullptr;
  }

  unsigned m_nHashSize = 17;
  int m_nBlockSize;
  int m_nCount = 0;
  std::vector<std::vector<Entry>> m_buckets;
};

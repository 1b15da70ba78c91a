// MFC's growable array template over std::vector.
#pragma once

#include <cstddef>
#include <vector>

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return m_items.empty(); }
  void SetSize(int n) { m_items.resize(n > 0 ? static_cast<size_t>(n) : 0); }
  int Add(ARG_TYPE item) { m_items.push_back(item); return GetSize() - 1; }
  void RemoveAll() { m_items.clear(); }
  const TYPE& GetAt(int i) const { return m_items[static_cast<size_t>(i)]; }
  TYPE& ElementAt(int i) { return m_items[static_cast<size_t>(i)]; }
  const TYPE& operator[](int i) const { return GetAt(i); }
  TYPE& operator[](int i) { return ElementAt(i); }
  TYPE* GetData() { return m_items.data(); }
  const TYPE* GetData() const { return m_items.data(); }

 private:
  std::vector<TYPE> m_items;
};

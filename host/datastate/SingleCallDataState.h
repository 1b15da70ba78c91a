// A data state of a host without the run operations: every call goes to
// another data state, and QueryRuns answers "no". It shows how a decoder
// behaves in such a host, beside the same data state with the runs.
#pragma once

#include "VyrDataState.h"

class CVyrSingleCallDataState final : public IVyrDataState {
 public:
  explicit CVyrSingleCallDataState(IVyrDataState& inner) : m_inner(inner) {}
  void SetTextValue(int a, const char* v, int i, int s, int f) override { m_inner.SetTextValue(a, v, i, s, f); }
  void SetIntValue(int a, std::int32_t v, int i, int s, int f) override { m_inner.SetIntValue(a, v, i, s, f); }
  void SetRealValue(int a, double v, int i, int s, int f) override { m_inner.SetRealValue(a, v, i, s, f); }
  void ClearValue(int a, int i, int s, int f) override { m_inner.ClearValue(a, i, s, f); }
  bool IsSortOutputSuppressed() const override { return m_inner.IsSortOutputSuppressed(); }
  VyrRetVal GetValue(int a, int i, int s) const override { return m_inner.GetValue(a, i, s); }
  VyrRetVal GetValueAlt(int a, int i, int s) const override { return m_inner.GetValueAlt(a, i, s); }

 private:
  IVyrDataState& m_inner;
};

// The payload of a measurement line, built in one pass.
//
// The reader sets one payload field per column and then appends the trailing
// values to the last column's field; the payload builder rewrites the whole
// payload at every call. When no column name repeats and neither the names
// nor the line hold a payload delimiter ("^", ";") or a NUL, the result of
// those calls is known in advance: every name followed by "^", then every
// column's field followed by ";", the last one extended by "," and each
// trailing value. This class writes that text directly; for any other line
// the reader goes field by field through the builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CString.h"

class CHytemPlainPayload {
 public:
  // Takes the column list as it now stands.
  void SetColumns(const CStringArray& columns);

  // The payload that the field-by-field build gives for the line, in text,
  // and the offset of the ";" that ends each column's value in pValueEnds
  // (one per column; the payload's index, VyrPayloadIndex). False, with
  // both unspecified, when the columns or the line are not plain.
  bool Build(std::string_view line, std::string& text, std::vector<std::uint32_t>* pValueEnds = nullptr) const;
  // The length of the names section of every payload built.
  size_t NamesLength() const { return m_strNames.size(); }

 private:
  bool m_bPlainColumns = false;
  int m_nColumns = 0;
  std::string m_strNames;  // "name^" for every column, in column order
};

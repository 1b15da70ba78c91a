// What a log's format declares that the library reads decoded data by: the
// roles of its message classes, the host attributes of its frequency plans,
// channels and levels (resolved to ids through the host's schema) and its
// software-version field. Learnt from the plug-in's declaration, once per
// format.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "FormatDriver.h"
#include "vyr/Formats.h"

namespace vyr::detail {

struct Vocabulary {
  static constexpr int kNone = -1;  // an attribute the format does not write

  int nFrequency = kNone;
  int nBandStart = kNone;
  int nLevel = kNone;
  int nMinimum = kNone;
  int nMaximum = kNone;
  int nStdDev = kNone;
  int nFrequencyUnit = -1;  // the unit in which the schema keeps nFrequency
  std::string versionField;
  std::vector<std::pair<int, Role>> roles;

  Role RoleOf(int nClass) const;
  // A value of nFrequency in whole hertz; kNoFrequency for one that is no
  // radio frequency (not finite, or beyond 1 PHz).
  std::int64_t WholeHz(double dValue) const;

  // The vocabulary of a declaration (empty for none), resolved once.
  static const Vocabulary& Of(const KelFormatDriver* pDriver);
};

Role ToRole(KelMessageRole eRole);

}  // namespace vyr::detail

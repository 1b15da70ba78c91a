#include "Vocabulary.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "VyrSchema.h"
#include "vyr/Log.h"

namespace vyr::detail {

namespace {
int Resolve(const char* pszName) {
  IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  int id = schema && pszName ? schema->GetAttrIdByName(pszName) : 0;
  return id != 0 ? id : Vocabulary::kNone;
}

int UnitOf(int nAttrId) {
  IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  const CVyrAttrDefn* defn = schema ? schema->GetAttrDefnById(nAttrId) : nullptr;
  const CVyrFormatGroupEntry* entry = defn ? GetFormatGroupManager()->fgGetFormatGroupEntry(defn->nFormatGroup) : nullptr;
  return entry ? entry->nUnitType : UT_UNKNOWN;
}

Vocabulary Make(const KelFormatDriver& d) {
  Vocabulary v;
  const KelScanVocabulary& names = d.vocabulary;
  v.nFrequency = Resolve(names.pszFrequency);
  v.nBandStart = Resolve(names.pszBandStart);
  v.nLevel = Resolve(names.pszBinLevel);
  v.nMinimum = Resolve(names.pszBinMinimum);
  v.nMaximum = Resolve(names.pszBinMaximum);
  v.nStdDev = Resolve(names.pszBinStdDev);
  v.nFrequencyUnit = UnitOf(v.nFrequency);
  v.versionField = names.pszVersionField ? names.pszVersionField : "";
  for (int i = 0; i < d.nClasses && d.pClasses; ++i) v.roles.emplace_back(d.pClasses[i].nClass, ToRole(d.pClasses[i].eRole));
  return v;
}
}  // namespace

Role ToRole(KelMessageRole eRole) {
  switch (eRole) {
    case KEL_ROLE_HEADER: return Role::Header;
    case KEL_ROLE_MEASUREMENT: return Role::Measurement;
    default: return Role::Other;
  }
}

Role Vocabulary::RoleOf(int nClass) const {
  for (const auto& [cls, role] : roles)
    if (cls == nClass) return role;
  return Role::Other;
}

std::int64_t Vocabulary::WholeHz(double dValue) const {
  constexpr double kMaxHz = 1e15;
  double hz = GetUnitsConverter()->ucConvert(nFrequencyUnit, UT_HZ, dValue);
  if (!std::isfinite(hz) || std::fabs(hz) >= kMaxHz) return kNoFrequency;
  return std::llround(hz);
}

const Vocabulary& Vocabulary::Of(const KelFormatDriver* pDriver) {
  static const Vocabulary kEmpty;
  if (!pDriver) return kEmpty;
  static std::mutex mutex;
  static std::map<const KelFormatDriver*, std::unique_ptr<Vocabulary>> known;
  std::lock_guard<std::mutex> lock(mutex);
  auto& v = known[pDriver];
  if (!v) v = std::make_unique<Vocabulary>(Make(*pDriver));
  return *v;
}

}  // namespace vyr::detail

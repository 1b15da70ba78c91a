#include <cstring>
#include <iterator>

#include "VyrSchema.h"

namespace {
// Ids are stable numbers of this host; plug-ins resolve them by name.
constexpr CVyrAttrDefn kAttributes[] = {
    {FG_COUNT, 101, "ATTR_ID_SCAN_LOG_NUM_FREQUENCIES"},
    {FG_FREQUENCY_HZ, 102, "ATTR_ID_SCAN_LOG_FREQ"},
    {FG_TEXT, 103, "ATTR_ID_SCAN_LOG_FREQ_STR"},
    {FG_COUNT, 104, "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX"},
    {FG_LEVEL_DBM, 105, "ATTR_ID_SCAN_BIN_DB_MEAN"},
    {FG_LEVEL_DBM, 106, "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL"},
    {FG_LEVEL_DBM, 107, "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL"},
    {FG_LEVEL_DB, 108, "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL"},
    {FG_LEVEL_DBM, 109, "ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV"},
    {FG_COUNT, 110, "ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV"},
    {FG_FREQUENCY_MHZ, 111, "ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV"},
};

// The ids run without a gap, so that an id finds its attribute at once: a
// decoder asks for an attribute's unit at every value it stores.
constexpr int kFirstAttrId = 101;
constexpr bool IdsRunWithoutGap() {
  for (size_t i = 0; i < std::size(kAttributes); ++i)
    if (kAttributes[i].nAttrId != kFirstAttrId + static_cast<int>(i)) return false;
  return true;
}
static_assert(IdsRunWithoutGap());

class CBuiltInSchema final : public IVyrSchemaAccessor2 {
 public:
  const CVyrAttrDefn* GetAttrDefnById(int nAttrId) const override {
    // Unsigned, so that an id below the first wraps far past the last.
    const unsigned i = static_cast<unsigned>(nAttrId) - static_cast<unsigned>(kFirstAttrId);
    return i < std::size(kAttributes) ? &kAttributes[i] : nullptr;
  }
  int GetAttrIdByName(const char* pszName) const override {
    if (!pszName) return 0;
    for (const CVyrAttrDefn& a : kAttributes)
      if (std::strcmp(a.pszName, pszName) == 0) return a.nAttrId;
    return 0;
  }
  const char* GetAttrNameById(int nAttrId) const override {
    const CVyrAttrDefn* a = GetAttrDefnById(nAttrId);
    return a ? a->pszName : nullptr;
  }
};

constexpr CVyrFormatGroupEntry kFormatGroups[] = {
    {UT_NONE, "none"},      {UT_HZ, "frequency (Hz)"}, {UT_MHZ, "frequency (MHz)"},
    {UT_DBM, "level (dBm)"}, {UT_DB, "level (dB)"},     {UT_COUNT, "count"},
};

// Built before any code runs (constant initialization), so that no call
// pays for a guard.
constinit CBuiltInSchema s_schema;
constinit CVyrFormatGroupManager s_formatGroups;
}  // namespace

IVyrSchemaAccessor2* GetSchemaDefsDynamic() { return &s_schema; }

const CVyrFormatGroupEntry* CVyrFormatGroupManager::fgGetFormatGroupEntry(int nFormatGroup) const {
  if (nFormatGroup <= FG_NONE || nFormatGroup >= static_cast<int>(std::size(kFormatGroups))) return nullptr;
  return &kFormatGroups[nFormatGroup];
}

CVyrFormatGroupManager* GetFormatGroupManager() { return &s_formatGroups; }

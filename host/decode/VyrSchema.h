// The host's attribute schema, its format groups and the units converter.
// Attributes are known by schema name; each has an id (never 0) and a format
// group, whose entry gives the unit in which the attribute's values are held.
#pragma once

#include <cstdint>

// Unit types of the units converter.
enum UnitType : std::int32_t {
  UT_UNKNOWN = -1,
  UT_NONE = 0,
  UT_DBM = 1,
  UT_DB = 2,
  UT_COUNT = 9,
  UT_HZ = 35,
  UT_KHZ = 36,
  UT_MHZ = 38,
  UT_GHZ = 39,
};

enum FormatGroup : std::int32_t {
  FG_NONE = 0,
  FG_FREQUENCY_HZ = 1,
  FG_FREQUENCY_MHZ = 2,
  FG_LEVEL_DBM = 3,
  FG_LEVEL_DB = 4,
  FG_COUNT = 5,
  FG_TEXT = 6,
};

struct CVyrAttrDefn {
  std::int32_t nFormatGroup;  // first field, as the decoders rely on
  std::int32_t nAttrId;
  const char* pszName;
};

class IVyrSchemaAccessor {
 public:
  virtual ~IVyrSchemaAccessor() = default;
};

class IVyrSchemaAccessor2 : public IVyrSchemaAccessor {
 public:
  // Null when the id names no attribute.
  virtual const CVyrAttrDefn* GetAttrDefnById(int nAttrId) const = 0;
  // 0 when the schema has no attribute of that name.
  virtual int GetAttrIdByName(const char* pszName) const = 0;
  // The schema name of an id, or null.
  virtual const char* GetAttrNameById(int nAttrId) const = 0;
};

IVyrSchemaAccessor2* GetSchemaDefsDynamic();

struct CVyrFormatGroupEntry {
  std::int32_t nUnitType;
  const char* pszName;
};

class CVyrFormatGroupManager {
 public:
  // Null for a format group without an entry (texts have none).
  const CVyrFormatGroupEntry* fgGetFormatGroupEntry(int nFormatGroup) const;
};
CVyrFormatGroupManager* GetFormatGroupManager();

class CVyrUnitsConverter {
 public:
  // Converts between units of one kind (frequencies among themselves). A value
  // whose units are equal, unknown (-1) or of different kinds is returned
  // unchanged.
  double ucConvert(int nFromUnit, int nToUnit, double dValue) const;
  static const char* UnitName(int nUnit);
};
CVyrUnitsConverter* GetUnitsConverter();

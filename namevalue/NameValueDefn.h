// Field definitions: what the generic decoder does with one named field of a
// name/value payload, and the map from field name to definition.
#pragma once

#include <memory>

#include "CMap.h"
#include "CString.h"

class CVyrGenericHsMessage;
class IVyrDataState;
class CVyrExpandedMessage;
class CVyrDecodeReceiver;
class IKelCellRefs_Search;
struct NameValueDefn;

// Field-specific work, run after the generic steps for every occurrence of a
// field. The routine reads the values it needs from the message by name; the
// definition is the decoder's private copy.
using NameValueCallback = void (*)(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn,
                                   IVyrDataState* pDataState, CVyrExpandedMessage* pExpandedMsg,
                                   CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search* pSearch);

// Value type codes (nType): 0 not read and no detail text; 1, 3, 5 signed
// decimal integer; 2, 4, 6 unsigned decimal integer; 7 real number; 8, 9 list
// of unsigned integers read as 2; 10 list read as 4; 11 text. Numbers are
// stored as reals after unit conversion; other codes store nothing.
struct NameValueDefn {
  const char* pszName;            // field name in payloads; the map key
  int nType;                      // value type code
  const char* pszLabel;           // detail-text label; "" for none
  int nFormat;                    // format code; carried, never read by the decoder
  int nUnit;                      // unit in which the payload states the value
  int nAttrId;                    // attribute receiving the value; 0 for none
  int nIndex;                     // element index (first element of a list)
  NameValueCallback pfnCallback;  // or null
};

// Field name -> copy of its definition. Keys are owned copies compared whole,
// byte for byte and case-sensitively; lookups take the name as const char*.
using NameValueDefnMap = CMap<CString, const char*, NameValueDefn, NameValueDefn&>;

constexpr unsigned kNameValueDefnMapBuckets = 17;
constexpr int kNameValueDefnMapBlockSize = 10;

// An empty map with 17 buckets, entries allocated in blocks of 10.
std::unique_ptr<NameValueDefnMap> CreateNameValueDefnMap();

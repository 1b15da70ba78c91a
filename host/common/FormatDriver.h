// What a log-format plug-in declares about itself, in one place, as a format
// driver does: its data-file type (name, long name, extensions, a content
// probe and a priority), its decode device (type number, name, and what each
// message class stands for), the texts of its reader's result codes, and the
// names of the host attributes in which its decoder leaves frequency plans
// and levels.
//
// The declaration is constant data. The module's static registration objects
// take their values from it, and the host reads it after loading the module,
// from the data symbol kel_format_driver (the module exports no function), to
// identify files by their content, to choose among types that share an
// extension, and to learn the roles of message classes and the meanings of
// result codes without knowing the format.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What a message class stands for: a header message sets up what follows (a
// frequency plan, a channel set), a measurement message carries levels.
enum KelMessageRole { KEL_ROLE_OTHER = 0, KEL_ROLE_HEADER = 1, KEL_ROLE_MEASUREMENT = 2 };

struct KelMessageClassDecl {
  int nClass;
  KelMessageRole eRole;
  const char* pszName;
};

struct KelResultCodeDecl {
  int nCode;
  const char* pszText;
};

// Nonzero when the first bytes of a file (nHead of them, the whole file when
// it is shorter) are a log of this format.
using KelIdentifyFn = int (*)(const char* pHead, std::size_t nHead);

// The host attributes (by schema name) in which the decoder leaves what the
// host's scan views read; null for one it does not write.
struct KelScanVocabulary {
  const char* pszFrequency;    // plan frequencies (scope 0) and channel frequencies (message scope)
  const char* pszBandStart;    // first plan element of each band (scope 0)
  const char* pszBinLevel;     // bin and channel levels (message scope)
  const char* pszBinMinimum;   // a statistics log's minimum, maximum and
  const char* pszBinMaximum;   // standard deviation per channel
  const char* pszBinStdDev;
  const char* pszVersionField;  // the header payload field that holds the software version
};

struct KelFormatDriver {
  const char* pszTypeName;
  const char* pszLongName;
  const char* const* ppszExtensions;  // closed by an empty string
  int nPriority;                      // the higher wins where types share an extension
  KelIdentifyFn pfnIdentify;          // null: by extension alone
  int nDeviceType;
  const char* pszDeviceName;
  const KelMessageClassDecl* pClasses;
  int nClasses;
  const KelResultCodeDecl* pResults;
  int nResults;
  KelScanVocabulary vocabulary;
};

#define KEL_FORMAT_DRIVER_SYMBOL "kel_format_driver"
#define KEL_EXPORT_FORMAT_DRIVER extern "C" __attribute__((visibility("default")))

// The declarations of the loaded modules, in load order.
class CFormatDriverRegistry {
 public:
  static void Add(const KelFormatDriver* pDriver);
  static std::vector<const KelFormatDriver*> GetDrivers();
  // A host that unloads a module it refused withdraws its declaration.
  static size_t GetCount();
  static void WithdrawFrom(size_t nFirst);
  // The newest declaration of a data-file type or a device type, or null.
  static const KelFormatDriver* FindByTypeName(const char* pszTypeName);
  static const KelFormatDriver* FindByDeviceType(int nDeviceType);
};

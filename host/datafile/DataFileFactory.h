// The registry of data-file types, filled by the static registration objects
// of plug-in modules and queried by the host by type name or file extension.
#pragma once

#include <cstdint>
#include <vector>

#include "CString.h"

class CDataFile;
using VyrCreateDataFileFn = CDataFile* (*)();

class CDataFileFactoryHelper {
 public:
  // pszExtensions ends with an empty string. Everything is copied; nothing is
  // unregistered, so the helper needs no destructor.
  CDataFileFactoryHelper(const char* pszTypeName, const char* const* pszExtensions, std::uint64_t qwFlags,
                         VyrCreateDataFileFn pfnCreate, bool bEnabled, const char* pszOptions, int nPriority);

  struct Registration {
    CString strTypeName;
    std::vector<CString> extensions;  // as registered, closing "" included
    std::uint64_t qwFlags;
    VyrCreateDataFileFn pfnCreate;
    bool bEnabled;
    CString strOptions;
    int nPriority;
  };
  static std::vector<Registration> GetRegistrations();
  // How many registrations there are, and the withdrawal of every one made
  // from the nFirst-th on: a host that unloads a module it refused withdraws
  // what the module's start-up registered, so that nothing points into code
  // that is gone.
  static size_t GetRegistrationCount();
  static void WithdrawFrom(size_t nFirst);
  // Lookups answer the newest matching registration.
  static bool FindByTypeName(const char* pszTypeName, Registration& out);
  // Extensions compare without the dot and without regard to ASCII case.
  static bool FindByExtension(const char* pszExtension, Registration& out);
  // The type for a file, from its extension and its first bytes (nHead of
  // them). Among the types registered for the extension, one whose declared
  // content probe (FormatDriver.h) accepts the bytes comes first, then one
  // without a probe, then one whose probe refuses them (its reader then says
  // why); within each, the highest priority, then the newest registration.
  // A file whose extension no type claims goes to a type whose probe accepts
  // it, chosen the same way.
  static bool FindForFile(const char* pszExtension, const char* pHead, size_t nHead, Registration& out);
};

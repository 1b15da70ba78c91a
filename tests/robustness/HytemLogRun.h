// Loads a log as a host does, for the robustness tests and the fuzz targets:
// a reader from the module's factory function, LoadDataFile, and every
// message decoded as it comes by a HYTEM decode receiver with one data state
// for the whole log. What the decoding produced is folded into a digest, so
// that two runs can be compared without keeping their output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "RolRetc.h"

class CVyrGenericHsMessage;
class CVyrExpandedMessage;

// Does what the module's start-up does for the code linked from
// kel_module_core: the COM bookkeeping, the host's KelFSD type library and the
// attribute ids of the HYTEM field table. Call once, before any thread reads.
void InitHytemModuleForTests();

struct HytemLogRun {
  RolRetc rc = ROL_OK;          // LoadDataFile's result
  std::uint64_t nMessages = 0;  // messages read and decoded
  std::uint64_t nDigest = 0;    // of every message's fields, texts and attribute writes, in order
};

// Runs for every decoded message; a fuzz target checks its invariants here.
using HytemMessageCheck = std::function<void(const CVyrGenericHsMessage&, const CVyrExpandedMessage&)>;

// Loads and decodes the log at path; rc is -1 when the factory gives no reader.
// A plan cap above 0 scales the decode device's frequency plans down to it
// (CHytemPlanBudget::ScaleDown), for fuzz targets.
HytemLogRun RunHytemLog(const std::string& path, const HytemMessageCheck& check = nullptr, int nPlanCap = 0);

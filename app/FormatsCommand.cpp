#include <cstdio>
#include <string>

#include "Commands.h"
#include "DataFileFactory.h"
#include "VyrDecodeDevice.h"

namespace {
// The message classes that a decode device announces.
std::string DescribeClasses(const CVyrDecodeDeviceFactoryHelper::Registration& reg) {
  std::string out;
  if (!reg.pfnCreate) return out;
  CVyrDecodeDevice* device = reg.pfnCreate(reg.info);
  if (!device) return out;
  CVyrDeviceMsgClassInfoArray classes;
  device->GetSupportedMsgClassInfo(classes);
  for (int i = 0; i < classes.GetSize(); ++i) {
    if (!out.empty()) out += ", ";
    out += std::to_string(classes[i].m_nClassId) + " \"" + classes[i].m_strName.str() + "\"";
  }
  delete device;
  return out;
}

struct FormatsCommandSettings {
  std::vector<std::string> files;  // none
};
}  // namespace

int RunFormats(const GlobalOptions& global, const std::vector<std::string>& args) {
  static const CommandSpec<FormatsCommandSettings> spec{{kFormatsCommand.info, "", nullptr, nullptr, nullptr}, {}, nullptr};
  FormatsCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(spec, args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (!LoadPlugins(global)) return kExitFileFailed;
  std::printf("Data-file types:\n");
  for (const auto& r : CDataFileFactoryHelper::GetRegistrations()) {
    std::string exts;
    for (const CString& e : r.extensions)
      if (!e.IsEmpty()) exts += (exts.empty() ? "." : ", .") + e.str();
    std::printf("  %-12s %s\n", r.strTypeName.GetString(), exts.c_str());
  }
  std::printf("Decode devices:\n");
  for (const auto& r : CVyrDecodeDeviceFactoryHelper::GetRegistrations()) {
    std::printf("  %-16s device type %d, message classes: %s\n", r.info.m_strName.GetString(),
                r.info.m_nDeviceType, DescribeClasses(r).c_str());
  }
  return kExitOk;
}

const Command kFormatsCommand = {{"formats", "list the data-file types and decode devices of the plug-ins"}, RunFormats};

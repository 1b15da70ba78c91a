// The log formats that the loaded plug-ins teach the host: their data-file
// types and decode devices, and what each message class stands for, as each
// plug-in declares them. Nothing here knows a format by name.
#pragma once

#include <string>
#include <vector>

namespace vyr {

// What a message class stands for: a header message sets up what follows (a
// frequency plan, a channel set), a measurement message carries levels.
enum class Role { Other, Header, Measurement };
// "header", "measurement" or "other".
const char* RoleName(Role role);

struct MessageClass {
  int number = 0;
  Role role = Role::Other;
  std::string name;
};

struct DataFileType {
  std::string name;
  std::string longName;                 // empty when the plug-in declares none
  std::vector<std::string> extensions;  // without the dot, in the plug-in's order
  int priority = 0;                     // the higher wins where types share an extension
  bool identifiesContent = false;       // it has a content probe
};

struct DecodeDevice {
  std::string name;
  int deviceType = 0;
  std::vector<MessageClass> classes;  // as the device announces them, with their declared roles
};

// Loads every "*.so" of the folder, in name order. A module that fails to
// load, whose start-up refuses, or that registers a data-file type or decode
// device already registered, is reported in errors and unloaded. Returns the
// number of modules loaded. Safe to call again with another folder.
int LoadPlugins(const std::string& folder, std::vector<std::string>& errors);
// "plugins" beside the running program, or for an installed program without
// one, the plug-in folder under its prefix.
std::string DefaultPluginFolder();

std::vector<DataFileType> DataFileTypes();
std::vector<DecodeDevice> DecodeDevices();
// The message classes of the device type's decode device; none when no
// device is registered for it.
std::vector<MessageClass> MessageClassesOf(int deviceType);

}  // namespace vyr

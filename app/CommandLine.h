// Option parsing shared by info, export and report: long options with or
// without a value ("--name VALUE" or "--name=VALUE"), short aliases, "--" to
// end the options, and the remaining arguments as file names.
#pragma once

#include <map>
#include <string>
#include <vector>

struct OptionDefn {
  const char* pszName;   // "--format"
  const char* pszShort;  // "-o", or null
  bool bTakesValue;
};

struct ParsedCommandLine {
  std::map<std::string, std::string> options;  // by long name; "" for a flag
  std::vector<std::string> files;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// False after printing what is wrong, prefixed with "vyrhost COMMAND: ".
bool ParseCommandLine(const char* pszCommand, const std::vector<std::string>& args,
                      const std::vector<OptionDefn>& options, ParsedCommandLine& out);

// Reads a whole decimal number, as every numeric option of every command
// takes it: "inf" and "-inf" are accepted, NaN, hexadecimal texts, leading
// blanks, trailing text and finite texts beyond the range of a double are not.
bool ParseNumber(const std::string& s, double& d);

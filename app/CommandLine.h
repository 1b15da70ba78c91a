// The command line as data: each command declares its options in one table,
// which gives their parsing, the command's usage line and its help; one
// parser serves every command. An option's value follows it as the next
// argument or attached ("--jobs=3", "-j3"); "-h" or "--help" anywhere before
// "--" asks for the help; "--" ends the options; every other argument is a
// file. The parsed values land in a plain settings struct per command.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "vyr/Cut.h"

struct OptionInfo {
  std::string strName;   // as the usage line shows it: "--format", "-o"
  std::string strAlias;  // another name, or empty: "-j", "--output"
  std::string strValue;  // the value's name, or empty for a flag: "DBM"
  std::string strHelp;   // paragraphs split by '\n', wrapped by the help
  bool bOneOf = false;   // exactly one of the options so marked is given
};

// Takes an option's value (empty for a flag) into the settings; false with
// why set to what is wrong with it.
template <class S>
using OptionSetter = std::function<bool(S& settings, const std::string& value, std::string& why)>;

template <class S>
struct Option {
  OptionInfo info;
  OptionSetter<S> set;
};

struct CommandInfo {
  const char* pszName;     // "decode"; "" for the options before the command
  const char* pszSummary;  // one line: the overview's and the help's
};

struct CommandSyntax {
  const CommandInfo& command;
  const char* pszOperands;         // the usage line's operands: "FILE...", or "" when none is taken
  const char* pszMissingOperand;   // the message when none is given: "no log file given"
  const char* pszDescription;      // the help's text after the usage line; null: the summary
  const char* pszNotes;            // the help's text after the options, or null
  bool bStopAtOperand = false;     // the first operand and every argument after it are files
};

// S has a member `std::vector<std::string> files`; check, when given, looks
// at the settings once every option is taken.
template <class S>
struct CommandSpec {
  CommandSyntax syntax;
  std::vector<Option<S>> options;
  std::function<bool(const S&, std::string& why)> check;
};

enum class ParseOutcome { Run, Help, UsageError };

// The type-erased core of ParseCommand.
struct BoundOption {
  const OptionInfo& info;
  std::function<bool(const std::string& value, std::string& why)> set;
};
ParseOutcome ParseArguments(const CommandSyntax& syntax, const std::vector<BoundOption>& options,
                            const std::vector<std::string>& args, std::vector<std::string>& files,
                            const std::function<bool(std::string& why)>& check);

// Help: prints the command's help to standard output. A usage error: prints
// "vyrhost COMMAND: WHY", the usage line and where to read on to standard
// error.
template <class S>
ParseOutcome ParseCommand(const CommandSpec<S>& table, const std::vector<std::string>& args, S& settings) {
  std::vector<BoundOption> bound;
  for (const Option<S>& o : table.options)
    bound.push_back({o.info, [&](const std::string& v, std::string& why) { return o.set(settings, v, why); }});
  auto check = [&](std::string& why) { return !table.check || table.check(settings, why); };
  return ParseArguments(table.syntax, bound, args, settings.files, check);
}

// "vyrhost COMMAND: WHY" (when why is not empty), the usage line and where
// to read on, on standard error.
void PrintUsageError(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options,
                     const std::string& why);
template <class S>
void PrintUsageError(const CommandSpec<S>& table, const std::string& why) {
  std::vector<const OptionInfo*> infos;
  for (const Option<S>& o : table.options) infos.push_back(&o.info);
  PrintUsageError(table.syntax, infos, why);
}

// The layout of the help: an option or command (left) in the first columns,
// its text from column kHelpColumn on, wrapped below 80 columns.
constexpr size_t kHelpColumn = 26;
void AppendHelpColumn(std::string& out, const std::string& left);
// Words of text from the current column on, wrapped with continuation lines
// indented to indent; ends the line.
void AppendWrapped(std::string& out, const std::string& text, size_t column, size_t indent);

// The usage line and the help of a command.
std::string UsageLine(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options);
std::string HelpText(const CommandSyntax& syntax, const std::vector<const OptionInfo*>& options);

// The notes of a command's help that takes DBM values.
extern const char kNumberNotes[];

// Reads a whole decimal number, as every numeric option of every command
// takes it: "inf" and "-inf" are accepted, NaN, hexadecimal texts, leading
// blanks, trailing text and finite texts beyond the range of a double are not.
bool ParseNumber(const std::string& s, double& d);

// The rules shared by the commands, each written once.
// A number of jobs: a whole number from 1 to 256.
bool ParseJobs(const std::string& value, int& nJobs, std::string& why);
// A threshold in dBm, as ParseNumber reads it; what names it in the message.
bool ParseThreshold(const char* pszWhat, const std::string& value, double& dDbm, std::string& why);

// "--jobs N, -j N": what N does, its default, and more about it (or "").
template <class S>
Option<S> JobsOption(int S::*member, const std::string& strWhat, const std::string& strDefault,
                     const std::string& strMore) {
  return {{"--jobs", "-j", "N", strWhat + " (1 to 256, default: " + strDefault + ")" + (strMore.empty() ? "" : "; ") + strMore},
          [member](S& s, const std::string& v, std::string& why) { return ParseJobs(v, s.*member, why); }};
}

// "--level-threshold DBM", the same in every command that decodes.
template <class S>
Option<S> LevelThresholdOption(double S::*member) {
  return {{"--level-threshold", "", "DBM",
           "the weakest scan level kept, in dBm (default: -inf, which keeps every level the scanner reports)"},
          [member](S& s, const std::string& v, std::string& why) {
            return ParseThreshold("level threshold", v, s.*member, why);
          }};
}

// "--format A|B|C": one of the named choices.
// "a, b or c": names joined by separator, the last two by lastSeparator.
std::string ChoiceList(const std::vector<std::string>& names, const char* pszSeparator, const char* pszLastSeparator);
template <class S, class T>
Option<S> FormatOption(T S::*member, const std::vector<std::pair<std::string, T>>& choices,
                       const std::string& strHelp) {
  std::vector<std::string> names;
  for (const auto& c : choices) names.push_back(c.first);
  return {{"--format", "", ChoiceList(names, "|", "|"), strHelp},
          [member, choices, names](S& s, const std::string& v, std::string& why) {
            for (const auto& [name, value] : choices) {
              if (v != name) continue;
              s.*member = value;
              return true;
            }
            why = "unknown format '" + v + "' (" + ChoiceList(names, ", ", " or ") + ")";
            return false;
          }};
}

// "-o NAME, --output NAME": a name that is not empty; "-" is standard output.
template <class S>
Option<S> OutputOption(std::string S::*member, const std::string& strValue, const std::string& strHelp) {
  return {{"-o", "--output", strValue, strHelp + " ('-' is standard output)"}, [member](S& s, const std::string& v, std::string& why) {
            if (v.empty()) {
              why = "the output name is empty (use - for standard output)";
              return false;
            }
            s.*member = v;
            return true;
          }};
}

// The options of a and then those of b.
template <class S>
std::vector<Option<S>> Concat(std::vector<Option<S>> a, const std::vector<Option<S>>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// "--from TIME", "--to TIME", "--band N", "--freq MIN:MAX": the cut of the
// levels, the same in every command that reads them (vyr/Cut.h). The table's
// check must call CheckCut.
template <class S>
std::vector<Option<S>> CutOptions(vyr::LevelCut S::*member) {
  auto time = [member](vyr::CutTime vyr::LevelCut::*end, const char* pszName) {
    return [member, end, pszName](S& s, const std::string& v, std::string& why) {
      const bool ok = vyr::ParseCutTime(v, (s.*member).*end, why);
      if (!ok) why = std::string(pszName) + ": " + why;
      return ok;
    };
  };
  return {{{"--from", "", "TIME", "only the measurements at or after TIME (see Cuts below)"},
           time(&vyr::LevelCut::from, "--from")},
          {{"--to", "", "TIME", "only the measurements up to TIME, included"}, time(&vyr::LevelCut::to, "--to")},
          {{"--band", "", "N", "only the levels of band N (from 1) of the frequency plans"},
           [member](S& s, const std::string& v, std::string& why) {
             return vyr::ParseBandNumber(v, (s.*member).band, why);
           }},
          {{"--freq", "", "MIN:MAX", "only the levels of the frequencies from MIN to MAX MHz, both included"},
           [member](S& s, const std::string& v, std::string& why) {
             return vyr::ParseFrequencyRange(v, s.*member, why);
           }}};
}

// The notes of a command's help that takes DBM values and the cuts.
extern const char kNumberAndCutNotes[];

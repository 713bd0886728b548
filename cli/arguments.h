// orvane-cli's arguments: the command table with each command's usage and help, and the parser
// that turns the arguments into options. Inside the cli library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvane::cli {

struct Options {
  // global
  std::string device;
  std::string hid_root;
  bool simulate = false;
  std::string state;
  bool yes = false;
  bool json = false;
  bool help = false;
  // command
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // command options with a value
  std::set<std::string> flags;                // command options without one
};

struct CommandInfo {
  const char* name;
  const char* usage;
  const char* summary;
  const char* details;
  std::vector<const char*> value_options;
  std::vector<const char*> flag_options;
  size_t min_args;
  size_t max_args;
};

// Every command, in the order the help lists them.
const std::vector<CommandInfo>& Commands();
const CommandInfo* FindCommand(const std::string& name);
std::string ToolHelp();
std::string CommandHelp(const CommandInfo& c);
bool ParseArgs(const std::vector<std::string>& args, Options* o, std::string* error);
bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int64_t* out);

}  // namespace orvane::cli

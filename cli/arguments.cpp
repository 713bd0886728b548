// orvane-cli's command table, help texts and argument parser.
#include "cli/arguments.h"

#include <cstdio>
#include <optional>

namespace orvane::cli {



const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {"list", "list [--all]", "list the keyboards found, with their interfaces",
       "Lists every keyboard found: its HID nodes, vendor and product, and per top-level\n"
       "collection the interface path, usage page and usage, report lengths and capabilities.\n"
       "A keyboard that is plugged in but may not be opened is listed as such.\n"
       "  --all   list every HID device, not only the keyboard\n"
       "  --json  {\"devices\": [{\"node\", \"vendor_id\", \"product_id\", \"accessible\",\n"
       "          \"collections\": [{\"path\", ... as describe}]}]}\n",
       {}, {"all"}, 0, 0},
      {"describe", "describe FILE", "show what a HID report descriptor holds",
       "Parses a HID report descriptor with the project's own parser and prints each top-level\n"
       "collection: usage page, usage, input/output/feature report lengths (report ID byte\n"
       "included) and the button and value capabilities. FILE holds raw descriptor bytes or\n"
       "hex text as HID tools print it (\"05 01 09 06 ...\", hexdump output, hid-tools \"R:\" lines).\n"
       "  --json  {\"collections\": [{\"usage_page\", \"usage\", \"input_report_length\",\n"
       "          \"output_report_length\", \"feature_report_length\", \"button_caps\", \"value_caps\"}]}\n",
       {}, {}, 1, 1},
      {"info", "info", "show the keyboard's current profile, macro space and lighting modes",
       "Shows the keyboard's interface, current on-board profile, macro capacity, the lighting\n"
       "modes it offers with their names, and whether it has per-key colour pages.\n",
       {}, {}, 0, 0},
      {"read", "read FILE.orv", "save the keyboard's configuration as a profile file",
       "Reads the three on-board profiles and the macros from the keyboard and writes them as a\n"
       "profile file. An existing FILE is replaced only with --yes or after a Yes.\n",
       {}, {}, 1, 1},
      {"write", "write FILE.orv [--verify]", "write a profile file to all three on-board profiles",
       "Validates and loads the profile file and writes all three on-board profiles and the\n"
       "macros, as the program's import does.\n"
       "  --verify  read the key blocks and the macro area back and report any difference\n",
       {}, {"verify"}, 1, 1},
      {"apply", "apply FILE.orv --profile N [--verify]",
       "write one layer of a profile file to on-board profile N",
       "Validates and loads the profile file and writes its layer N (0, 1 or 2) to on-board\n"
       "profile N, with the macros.\n"
       "  --profile N  the on-board profile, 0 to 2 (required)\n"
       "  --verify     read the key block and the macro area back and report any difference\n",
       {"profile"}, {"verify"}, 1, 1},
      {"select", "select N", "make on-board profile N (0, 1 or 2) the current one",
       "Makes on-board profile N (0 to 2) the keyboard's current profile.\n", {}, {}, 1, 1},
      {"show", "show FILE.orv", "show a profile file's key assignments and macros",
       "For each layer, the keys that are not at their default, with their names and what they\n"
       "do; then each macro with its actions. --json gives the form described in docs/cli.md.\n",
       {}, {}, 1, 1},
      {"validate", "validate FILE.orv", "check that a file is a valid profile file",
       "Checks the profile file's header as the program does before loading it.\n", {}, {}, 1, 1},
      {"new", "new FILE.orv", "write a default profile file",
       "Writes a profile file with every key at its default and no macros. An existing FILE is\n"
       "replaced only with --yes or after a Yes.\n",
       {}, {}, 1, 1},
      {"export-json", "export-json FILE.orv OUT.json", "convert a profile file to JSON",
       "Writes the profile file in its JSON form; import-json gives back the same bytes.\n", {}, {},
       2, 2},
      {"import-json", "import-json IN.json FILE.orv", "convert JSON back to a profile file",
       "Builds a profile file from its JSON form. A wrong or unknown member is an error naming\n"
       "the member.\n",
       {}, {}, 2, 2},
      {"lighting", "lighting | lighting set --profile N [--mode M] [--brightness B] [--speed S] "
                   "[--direction D] [--rate R]",
       "show or change the lighting of the on-board profiles",
       "Without arguments: the three lighting records decoded (mode, brightness, speed,\n"
       "direction, user mode, report rate, paint tool).\n"
       "lighting set writes single fields of profile N's record, as the lighting panel does:\n"
       "  --mode M        a mode the keyboard offers (see info)\n"
       "  --brightness B  0 to 24\n"
       "  --speed S       the speed byte, 0 to 4\n"
       "  --direction D   0 or 255\n"
       "  --rate R        USB report rate selection, 0 to 3\n",
       {"profile", "mode", "brightness", "speed", "direction", "rate"}, {}, 0, 1},
      {"watch", "watch [--timeout SECONDS]", "print keyboard arrivals, removals and events",
       "Runs the presence monitor and the event listener and prints arrivals, removals and the\n"
       "keyboard's events with timestamps until interrupted (Ctrl-C) or SECONDS have passed.\n"
       "With --json each event is one JSON object per line.\n",
       {"timeout"}, {}, 0, 0},
  };
  return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& c : Commands())
    if (name == c.name) return &c;
  return nullptr;
}

std::string ToolHelp() {
  std::string s =
      "Usage: orvane-cli [OPTIONS] COMMAND [ARGS]\n"
      "Configures the VELMORA Q5 keyboard from the command line.\n\n"
      "Options:\n"
      "  --device PATH        use the keyboard at this interface path or hidraw node\n"
      "  --hid-root DIR       look for HID devices in DIR/sys and DIR/dev (e.g. orvane-simkbd's)\n"
      "  --simulate[=STATE]   use the built-in simulated keyboard; with STATE its memory is kept\n"
      "                       in that file between commands\n"
      "  --yes                answer Yes to questions (e.g. replacing an existing file)\n"
      "  --json               machine-readable output\n"
      "  --help               this text; COMMAND --help for a command's\n\n"
      "Commands:\n";
  for (const CommandInfo& c : Commands()) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-12s %s\n", c.name, c.summary);
    s += line;
  }
  s += "\nExit codes: 0 success, 1 keyboard or operation failure, 2 usage error, 3 invalid file.\n";
  return s;
}

std::string CommandHelp(const CommandInfo& c) {
  return std::string("Usage: orvane-cli [OPTIONS] ") + c.usage + "\n" + c.summary + ".\n\n" +
         c.details;
}

bool IsGlobalValueOption(const std::string& name) { return name == "device" || name == "hid-root"; }

// Parses the arguments; false with *error for a usage error.
bool ParseArgs(const std::vector<std::string>& args, Options* o, std::string* error) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // "-1" is an argument (a wrong profile number), not an option.
    const bool negative_number = a.size() >= 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9';
    if (options_done || a.size() < 2 || a[0] != '-' || negative_number) {
      if (o->command.empty()) o->command = a;
      else o->positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "-h") {
      o->help = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      *error = "unknown option " + a;
      return false;
    }
    std::string name = a.substr(2);
    std::optional<std::string> value;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    auto take_value = [&](std::string* out) {
      if (value) {
        *out = *value;
      } else if (i + 1 < args.size()) {
        *out = args[++i];
      } else {
        *error = "option --" + name + " needs a value";
        return false;
      }
      if (out->empty()) {
        *error = "option --" + name + " needs a value";
        return false;
      }
      return true;
    };
    auto no_value = [&]() {
      if (value) {
        *error = "option --" + name + " takes no value";
        return false;
      }
      return true;
    };
    if (name == "help") {
      if (!no_value()) return false;
      o->help = true;
    } else if (name == "yes") {
      if (!no_value()) return false;
      o->yes = true;
    } else if (name == "json") {
      if (!no_value()) return false;
      o->json = true;
    } else if (name == "simulate") {
      o->simulate = true;
      if (value) {
        if (value->empty()) {
          *error = "option --simulate= needs a file name";
          return false;
        }
        o->state = *value;
      }
    } else if (IsGlobalValueOption(name)) {
      if (!take_value(name == "device" ? &o->device : &o->hid_root)) return false;
    } else {
      // A command option: which ones a command takes is checked once the command is known.
      bool takes_value = false, known = false;
      for (const CommandInfo& c : Commands()) {
        for (const char* v : c.value_options) {
          if (name == v) known = takes_value = true;
        }
        for (const char* f : c.flag_options) {
          if (name == f) known = true;
        }
      }
      if (!known) {
        *error = "unknown option --" + name;
        return false;
      }
      if (takes_value) {
        std::string v;
        if (!take_value(&v)) return false;
        if (o->values.count(name)) {
          *error = "option --" + name + " given twice";
          return false;
        }
        o->values[name] = v;
      } else {
        if (!no_value()) return false;
        o->flags.insert(name);
      }
    }
  }
  return true;
}

bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int64_t* out) {
  if (s.empty() || s.size() > 12) return false;
  int64_t v = 0;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '-') {
    neg = true;
    i = 1;
    if (s.size() == 1) return false;
  }
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  if (neg) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace orvane::cli

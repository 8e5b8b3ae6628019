// The command line of vantrel-cli, parsed into steps kept in argument order.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vantrel::cli {

struct Step {
  enum Kind { Input, Option, Output } kind;
  std::string name;   // option name without the dash
  std::string value;  // option value, or the file name
  // An option last on the line without its value: said after the name has
  // been checked, since an unknown name is the better message.
  bool valueMissing = false;
};

// What to do with an output file that already exists: "-y" replaces it,
// "-n" never does; without either the tool refuses and says so.
enum class Overwrite { Ask, Always, Never };

struct Arguments {
  std::string libDir;
  bool unversioned = false;
  bool help = false;
  bool version = false;
  Overwrite overwrite = Overwrite::Ask;
  std::vector<Step> steps;
};

extern const char* const kUsage;
// The usage followed by the common options, the phone profiles as command
// lines and how the container is chosen.
extern const char* const kHelp;

// Throws std::invalid_argument with a message for a usage error. The
// predicate tells whether an option takes no value; an engine option that
// needs one and ends the line is kept with valueMissing set. "-y" and "-n" are the
// tool's own and are not steps.
Arguments ParseArguments(const std::vector<std::string>& args,
                         const std::function<bool(const std::string&)>& takesNoValue);

}  // namespace vantrel::cli

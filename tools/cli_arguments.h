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
};

struct Arguments {
  std::string libDir;
  bool unversioned = false;
  bool help = false;
  std::vector<Step> steps;
};

extern const char* const kUsage;

// Throws std::invalid_argument with a message for a usage error. The
// predicate tells whether an option takes no value.
Arguments ParseArguments(const std::vector<std::string>& args,
                         const std::function<bool(const std::string&)>& takesNoValue);

}  // namespace vantrel::cli

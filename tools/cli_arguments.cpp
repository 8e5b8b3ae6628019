#include "cli_arguments.h"

#include <stdexcept>

namespace vantrel::cli {

const char* const kUsage =
    "usage: vantrel-cli [--libdir DIR] [--unversioned] [-NAME [VALUE]]... [-i INPUT]... OUTPUT...\n"
    "  --libdir DIR     load the codec libraries from DIR only\n"
    "  --unversioned    look for the libraries under their plain names (libavcodec.so ...)\n"
    "  -i INPUT         open an input file at this point\n"
    "  -NAME [VALUE]    apply one engine option (flags take no value)\n"
    "  OUTPUT           create an output file\n"
    "Arguments are applied in order; options before a file apply to that file.\n";

Arguments ParseArguments(const std::vector<std::string>& args,
                         const std::function<bool(const std::string&)>& takesNoValue) {
  Arguments a;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto needValue = [&](const std::string& what) -> const std::string& {
      if (i + 1 >= args.size()) throw std::invalid_argument(what + " needs a value");
      return args[++i];
    };
    if (arg == "--help" || arg == "-help") {
      a.help = true;
    } else if (arg == "--libdir") {
      a.libDir = needValue(arg);
    } else if (arg == "--unversioned") {
      a.unversioned = true;
    } else if (arg.rfind("--", 0) == 0) {
      throw std::invalid_argument("unknown option " + arg);
    } else if (arg == "-i") {
      a.steps.push_back({Step::Input, "", needValue(arg)});
    } else if (arg.size() > 1 && arg[0] == '-') {
      const std::string name = arg.substr(1);
      a.steps.push_back({Step::Option, name, takesNoValue(name) ? std::string() : needValue(arg)});
    } else {
      a.steps.push_back({Step::Output, "", arg});
    }
  }
  return a;
}

}  // namespace vantrel::cli

#include "cli_arguments.h"

#include <stdexcept>

namespace vantrel::cli {

const char* const kUsage =
    "usage: vantrel-cli [--libdir DIR] [--unversioned] [-y|-n] [-NAME [VALUE]]... [-i INPUT]... OUTPUT...\n"
    "  --libdir DIR     load the codec libraries from DIR only\n"
    "  --unversioned    look for the libraries under their plain names (libavcodec.so ...)\n"
    "  -y               overwrite output files that exist\n"
    "  -n               never overwrite output files (refuse)\n"
    "  -i INPUT         open an input file at this point\n"
    "  -NAME [VALUE]    apply one engine option (flags take no value)\n"
    "  OUTPUT           create an output file\n"
    "  -h, --help       print the options and the phone profiles\n"
    "  -version         print the versions of the program and of the libraries\n"
    "Arguments are applied in order; options before a file apply to that file.\n";

const char* const kHelp =
    "\n"
    "Common options (before the output they apply to):\n"
    "  -vcodec NAME     video encoder (mpeg4, h263, ...; copy keeps the stream)\n"
    "  -acodec NAME     audio encoder (aac, libopencore_amrnb, ...; copy keeps the stream)\n"
    "  -s WxH           frame size, e.g. 176x144\n"
    "  -r RATE          frame rate, e.g. 15 or 30000/1001\n"
    "  -b BITS          video bit rate in bits/s, e.g. 40000\n"
    "  -ab BITS         audio bit rate in bits/s, e.g. 96000\n"
    "  -ar HZ           audio sample rate, e.g. 8000\n"
    "  -ac N            audio channels, 1 or 2\n"
    "  -ss TIME         start at this time; -t TIME: convert this long\n"
    "  -vn, -an         no video, no audio\n"
    "  -f FORMAT        force the container format\n"
    "  -v LEVEL         verbosity: -1 quiet, 0 normal, 1 more, 2 debug\n"
    "\n"
    "The output's extension picks the container (.3gp, .3g2, .mp4, ...) and with it the\n"
    "default codecs, used when -vcodec or -acodec is not given: the container's own in the\n"
    "installed libraries (Debian 12's: .3gp and .3g2 H.263 and AMR-NB; .mp4 H.264 and AAC).\n"
    "An output named - is standard output (give the container with -f), an input named -\n"
    "standard input.\n"
    "\n"
    "Phone profiles:\n"
    "  3GPP, H.263 + AMR-NB:\n"
    "    vantrel-cli -i movie.avi -vcodec h263 -acodec libopencore_amrnb -s 176x144 -r 15 -b 40000 "
    "-ab 12200 -ar 8000 -ac 1 out.3gp\n"
    "  3GPP, MPEG-4 + AAC:\n"
    "    vantrel-cli -i movie.avi -vcodec mpeg4 -acodec aac -s 176x144 -r 15 -b 40000 "
    "-ab 96000 -ar 32000 -ac 2 out.3gp\n"
    "  3GPP2, H.263 + AMR-NB:\n"
    "    vantrel-cli -i movie.avi -vcodec h263 -acodec libopencore_amrnb -s 176x144 -r 15 -b 40000 "
    "-ab 12200 -ar 8000 -ac 1 out.3g2\n"
    "  3GPP2, MPEG-4 + AAC:\n"
    "    vantrel-cli -i movie.avi -vcodec mpeg4 -acodec aac -s 176x144 -r 15 -b 40000 "
    "-ab 96000 -ar 32000 -ac 2 out.3g2\n"
    "  MP4, MPEG-4 + AAC:\n"
    "    vantrel-cli -i movie.avi -vcodec mpeg4 -acodec aac -s 176x144 -r 15 -b 40000 "
    "-ab 96000 -ar 32000 -ac 2 out.mp4\n"
    "  MP4, H.264 + AAC for smartphones (a 16:9 source):\n"
    "    vantrel-cli -i movie.avi -vcodec libx264 -preset veryfast -profile high -level 3.1 -crf 23 "
    "-pix_fmt yuv420p -s 1280x720 -aspect 1280:720 -acodec aac -ab 128000 -ar 44100 -ac 2 out.mp4\n"
    "  MP4, H.264 Baseline + AAC for simple phones (a 4:3 source):\n"
    "    vantrel-cli -i movie.avi -vcodec libx264 -preset veryfast -profile baseline -level 1.3 "
    "-pix_fmt yuv420p -s 320x240 -aspect 4:3 -b 256000 -acodec aac -ab 96000 -ar 44100 -ac 2 out.mp4\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 130 stopped by a signal.\n";

Arguments ParseArguments(const std::vector<std::string>& args,
                         const std::function<bool(const std::string&)>& takesNoValue) {
  Arguments a;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto needValue = [&](const std::string& what) -> const std::string& {
      if (i + 1 >= args.size()) throw std::invalid_argument(what + " needs a value");
      return args[++i];
    };
    if (arg == "--help" || arg == "-help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--version" || arg == "-version") {
      a.version = true;
    } else if (arg == "-y") {
      a.overwrite = Overwrite::Always;
    } else if (arg == "-n") {
      a.overwrite = Overwrite::Never;
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
      if (takesNoValue(name))
        a.steps.push_back({Step::Option, name, std::string()});
      else if (i + 1 >= args.size())
        a.steps.push_back({Step::Option, name, std::string(), true});
      else
        a.steps.push_back({Step::Option, name, needValue(arg)});
    } else {
      a.steps.push_back({Step::Output, "", arg});
    }
  }
  return a;
}

}  // namespace vantrel::cli

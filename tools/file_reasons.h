// What the file system says about the files named on the command line.
#pragma once

#include <string>

namespace vantrel::cli {

// The local path of a file name, or "" for a protocol name or a pipe.
std::string LocalPath(const std::string& name);

// The name the engine opens for a file name of the command line: "-" is
// standard input or output, which the libraries call "pipe:"; without the
// mapping they would take it for a file named "-".
std::string EngineFileName(const std::string& name);

// The system's reason why the file cannot be read (an input) or created
// (an output), e.g. "No such file or directory", "Permission denied", or a
// folder given as input; "" when the system sees no obstacle.
std::string InputReason(const std::string& name);
std::string OutputReason(const std::string& name);

// The engine's message with the reason added where its words lack it.
std::string WithReason(const std::string& message, const std::string& reason);

}  // namespace vantrel::cli

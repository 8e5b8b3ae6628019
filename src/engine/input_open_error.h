// The text of a failed input opening, for the engine and for anything else
// that opens media files the same way, so one file gets one message.
#pragma once

#include <string>

#include "binding/av_functions.h"

namespace vantrel {

// FormatOpenError's text for what avformat_open_input returned (Code) on
// FileName, with the library's one code for "no demuxer knows it" and "the
// header is broken" told apart: an empty file is an I/O error, a file some
// demuxer recognises (or opened with a forced format) a header error.
std::string InputOpenError(const std::string& FileName, const AVInputFormat* Forced, int Code);

}  // namespace vantrel

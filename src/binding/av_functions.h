// Every function of av_function_lists.h becomes a pointer in namespace lav
// whose type is taken from the installed header, so every call through the
// binding is checked by the compiler.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "binding/av_function_lists.h"

namespace lav {
#define VANTREL_DECLARE_POINTER(name) inline decltype(&::name) name = nullptr;
VANTREL_AVCODEC_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_AVFILTER_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_AVFORMAT_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_AVUTIL_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_SWSCALE_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_SWRESAMPLE_FUNCTIONS(VANTREL_DECLARE_POINTER)
VANTREL_CRT_FUNCTIONS(VANTREL_DECLARE_POINTER)
#undef VANTREL_DECLARE_POINTER
}  // namespace lav

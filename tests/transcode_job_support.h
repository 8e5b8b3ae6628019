// A job whose files are opened by hand, the way the input and output side
// leaves them, so the transcode can be driven without the option language.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "binding/av_binding.h"
#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "media_probe.h"
#include "test_support.h"

namespace vantrel::test {

class HandMadeJob : public TEngineJob {
 public:
  HandMadeJob() {
    EnsureLibrariesLoaded();
    ResetEngine();
    OnLog = [this](TCustomFFmpeg*, int level, const std::string& msg) {
      std::lock_guard<std::mutex> lock(logLock);
      logs.emplace_back(level, msg);
    };
  }

  void AddInput(const std::string& name, bool rateEmu = false) {
    AVFormatContext* ic = nullptr;
    ASSERT_GE(lav::avformat_open_input(&ic, name.c_str(), nullptr, nullptr), 0) << name;
    ASSERT_GE(lav::avformat_find_stream_info(ic, nullptr), 0);
    const int i = InputFileCount++;
    InputFiles[i].reset(ic);
    for (unsigned s = 0; s < ic->nb_streams; ++s) {
      AVStream* st = ic->streams[s];
      AVCodecContext* dec = lav::avcodec_alloc_context3(lav::avcodec_find_decoder(st->codecpar->codec_id));
      lav::avcodec_parameters_to_context(dec, st->codecpar);
      dec->pkt_timebase = st->time_base;
      if (dec->codec_type == AVMEDIA_TYPE_VIDEO && st->avg_frame_rate.num > 0)
        dec->time_base = av_inv_q(st->avg_frame_rate);
      InputCodecs[i].emplace_back(dec);
    }
    InputRateEmu[i] = rateEmu;
    // Time stamps start at 0 like after opening through the engine.
    InputFilesTsOffset[i] = ic->start_time != AV_NOPTS_VALUE ? -ic->start_time : 0;
  }

  // Streams as (type, copy); encoded streams get no codec (only the set-up
  // checks get that far).
  void AddOutput(const std::string& name, const std::vector<std::pair<AVMediaType, bool>>& streams,
                 const char* format = nullptr) {
    AVFormatContext* oc = nullptr;
    ASSERT_GE(lav::avformat_alloc_output_context2(&oc, nullptr, format, name.c_str()), 0) << name;
    const int i = OutputFileCount++;
    OutputFiles[i].reset(oc);
    OutputFileNames[i] = name;
    for (const auto& [type, copy] : streams) {
      AVStream* st = lav::avformat_new_stream(oc, nullptr);
      st->codecpar->codec_type = type;
      AVCodecContext* enc = lav::avcodec_alloc_context3(nullptr);
      enc->codec_type = type;
      OutputCodecs[i].emplace_back(enc);
      OutputStreamCopy[i].push_back(copy);
    }
  }

  // Installs a bit-stream filter chain on one output stream.
  void SetFilterChain(int File, int Stream, const char* Chain) {
    AVBSFContext* bsf = nullptr;
    ASSERT_GE(lav::av_bsf_list_parse_str(Chain, &bsf), 0) << Chain;
    BitstreamFilters[File][Stream].reset(bsf);
  }

  // Runs the job on this thread; the end is reported before it returns.
  void Run() { StartJob(false); }

  bool Logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(logLock);
    for (const auto& l : logs)
      if (l.second.find(text) != std::string::npos) return true;
    return false;
  }
  int CountLogged(const std::string& text) {
    std::lock_guard<std::mutex> lock(logLock);
    int n = 0;
    for (const auto& l : logs) n += l.second.find(text) != std::string::npos;
    return n;
  }

  std::mutex logLock;
  std::vector<std::pair<int, std::string>> logs;
};

}  // namespace vantrel::test

#include "converter/av_probe.h"

#include <mutex>
#include <stdexcept>

#include "binding/av_binding.h"
#include "binding/message_format.h"
#include "engine/engine.h"
#include "engine/input_open_error.h"
#include "engine/local_input.h"

namespace vantrel {

TAVProbe::TAVProbe() = default;

TAVProbe::~TAVProbe() { CloseFile(); }

void TAVProbe::CheckLibraries() {
  if (!LibraryBound(Library::Codec)) throw std::runtime_error("LibAVCodec not loaded.");
  if (!LibraryBound(Library::Format)) throw std::runtime_error("LibAVFormat not loaded.");
  if (!LibraryBound(Library::Util)) throw std::runtime_error("LibAVUtil not loaded.");
  if (!LibraryBound(Library::Scale)) throw std::runtime_error("LibSwScale not loaded.");
}

bool TAVProbe::OpenFile(const std::string& AFileName, const std::string& AFormatName) {
  CheckLibraries();
  CloseFile();
  const AVInputFormat* format = nullptr;
  if (!AFormatName.empty()) {
    format = lav::av_find_input_format(AFormatName.c_str());
    if (!format) {
      lastErrMsg_ = Format("Unknown input format: %s", AFormatName);
      return false;
    }
  }
  AVFormatContext* opened = nullptr;
  AVDictionary* options = nullptr;
  RestrictToLocalFiles(&options, LocalFileOnly);
  // On failure the library frees what it allocated and leaves opened null.
  const int r = lav::avformat_open_input(&opened, InputUrl(AFileName, LocalFileOnly).c_str(), format, &options);
  lav::av_dict_free(&options);
  if (r < 0) {
    lastErrMsg_ = InputOpenError(AFileName, format, r);
    return false;
  }
  owned_.reset(opened);
  context_ = opened;
  // Without the codec lock: the decoders analysis opens are the library's
  // own business, so a probe never waits for a job opening its codecs.
  if (lav::avformat_find_stream_info(context_, nullptr) < 0) {
    lastErrMsg_ = Format("%s: could not find codec parameters", AFileName);
    CloseFile();
    return false;
  }
  RefreshSummary();
  formatName_ = AFormatName;
  return true;
}

void TAVProbe::AttachContext(AVFormatContext* AContext) {
  CheckLibraries();
  CloseFile();
  context_ = AContext;
  RefreshSummary();
}

void TAVProbe::CloseFile() {
  formatName_.clear();
  context_ = nullptr;
  owned_.reset();
  RefreshSummary();
}

bool TAVProbe::GetVideoInfo(TAVVideoInfo& AInfo) const {
  AInfo = TAVVideoInfo{};
  if (!context_ || firstVideo_ < 0) return false;
  const AVStream* st = context_->streams[firstVideo_];
  const AVCodecParameters* par = st->codecpar;
  AInfo.CodecId = int32_t(par->codec_id);
  AInfo.Width = par->width;
  AInfo.Height = par->height;
  // The container's aspect wins over the codec's, as players do.
  const AVRational sar = st->sample_aspect_ratio.num > 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
  if (sar.num > 0 && sar.den > 0) AInfo.SarNum = sar.num, AInfo.SarDen = sar.den;
  // The average rate is what the file plays at; the base rate of a stream
  // with varying frame times can be that of its clock.
  const AVRational rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate
                                                                                   : st->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) AInfo.FrameRateNum = rate.num, AInfo.FrameRateDen = rate.den;
  return true;
}

void TAVProbe::RefreshSummary() {
  streamCount_ = programCount_ = -1;
  audioCount_ = videoCount_ = subtitleCount_ = -1;
  firstAudio_ = firstVideo_ = firstSubtitle_ = -1;
  if (!context_) return;
  streamCount_ = int(context_->nb_streams);
  programCount_ = int(context_->nb_programs);
  audioCount_ = videoCount_ = subtitleCount_ = 0;
  for (int i = 0; i < streamCount_; ++i) {
    const AVStream* st = context_->streams[i];
    const AVMediaType type = st->codecpar ? st->codecpar->codec_type : AVMEDIA_TYPE_UNKNOWN;
    if (type == AVMEDIA_TYPE_VIDEO) {
      if (videoCount_++ == 0) firstVideo_ = i;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      if (audioCount_++ == 0) firstAudio_ = i;
    } else if (type == AVMEDIA_TYPE_SUBTITLE) {
      if (subtitleCount_++ == 0) firstSubtitle_ = i;
    }
  }
}

}  // namespace vantrel

// Stand-ins for the parts of a job that other sides provide (re-encoding,
// filter graphs), until they land here.
#include "engine/engine.h"

namespace vantrel {
namespace {

[[noreturn]] void NotAvailable(const char* What) {
  throw FFMpegException(std::string(What) + " is not available in this build yet");
}

}  // namespace

void TCustomFFmpeg::SetUpVideoEncoding(TOutputStreamState&, TInputStreamState&) { NotAvailable("Video encoding"); }
void TCustomFFmpeg::SetUpAudioEncoding(TOutputStreamState&, TInputStreamState&) { NotAvailable("Audio encoding"); }
void TCustomFFmpeg::StartAudioEncoding(TOutputStreamState&, TInputStreamState&) {}
void TCustomFFmpeg::PrepareVideoFrame(TInputStreamState&, AVFrame*) {}
void TCustomFFmpeg::EncodeVideo(AVFormatContext*, TOutputStreamState&, TInputStreamState&, AVFrame*, int&) {}
void TCustomFFmpeg::EncodeAudio(AVFormatContext*, TOutputStreamState&, TInputStreamState&, const AVFrame*) {}
void TCustomFFmpeg::EncodeSubtitle(AVFormatContext*, TOutputStreamState&, TInputStreamState&, const AVSubtitle*,
                                   int64_t) {}
void TCustomFFmpeg::WriteVideoStats(AVFormatContext*, TOutputStreamState&, int) {}
void TCustomFFmpeg::FlushVideoEncoder(AVFormatContext*, TOutputStreamState&) {}
void TCustomFFmpeg::FlushAudioEncoder(AVFormatContext*, TOutputStreamState&) {}
bool TCustomFFmpeg::SetUpFilterGraph(TInputStreamState&, TOutputStreamState&) {
  FilterError = "filter graphs are not available in this build yet";
  return false;
}

}  // namespace vantrel

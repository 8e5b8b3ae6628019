// A hand-built re-encoding path for the output tests: one encoder, one output
// file with one stream, the input and output stream records filled directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "binding/av_functions.h"
#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "test_support.h"

namespace vantrel::test {

// One line of the "framecrc" muxer: a written packet.
struct TWrittenPacket {
  int stream = 0;
  int64_t dts = 0, pts = 0, duration = 0;
  int size = 0;
};

inline std::vector<TWrittenPacket> ReadFrameCrc(const std::string& path) {
  std::vector<TWrittenPacket> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    TWrittenPacket p;
    char comma;
    std::istringstream s(line);
    s >> p.stream >> comma >> p.dts >> comma >> p.pts >> comma >> p.duration >> comma >> p.size;
    out.push_back(p);
  }
  return out;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The engine with its log lines collected.
class TRigEngine : public TEngineJob {
 public:
  TRigEngine() {
    ResetEngine();
    OnLog = [this](TCustomFFmpeg*, int, const std::string& msg) { Lines.push_back(msg); };
  }
  bool Logged(const std::string& text) const {
    for (const std::string& l : Lines)
      if (l == text) return true;
    return false;
  }
  bool LoggedPrefix(const std::string& text) const {
    for (const std::string& l : Lines)
      if (l.rfind(text, 0) == 0) return true;
    return false;
  }
  std::vector<std::string> Lines;
};

class TOutputRig {
 public:
  TRigEngine Engine;
  TempDir Dir;
  std::string Path;
  AVFormatContext* Oc = nullptr;
  AVCodecContext* Enc = nullptr;
  AVCodecContext* Dec = nullptr;  // the decoder's parameters only; never opened
  AVStream* InStream = nullptr;   // a stand-in input stream (time base only)
  AVFormatContext* InOc = nullptr;
  TInputStreamState Ist;
  TOutputStreamState Ost;

  TOutputRig() {
    InOc = lav::avformat_alloc_context();
    InStream = lav::avformat_new_stream(InOc, nullptr);
    InStream->time_base = AVRational{1, 90000};
    Ist.Stream = InStream;
    Ost.SyncStream = &Ist;
  }
  ~TOutputRig() {
    Finish();
    lav::avcodec_free_context(&Enc);
    lav::avcodec_free_context(&Dec);
    if (Oc) lav::avformat_free_context(Oc);
    lav::avformat_free_context(InOc);
  }

  // Allocates the encoder by name; false when this build of the libraries lacks it.
  bool NewEncoder(const char* name) {
    const AVCodec* codec = lav::avcodec_find_encoder_by_name(name);
    if (!codec) return false;
    Enc = lav::avcodec_alloc_context3(codec);
    Enc->thread_count = 1;
    Dec = lav::avcodec_alloc_context3(nullptr);
    Ist.Decoder = Dec;
    Ost.Encoder = Enc;
    return true;
  }

  void SetVideo(int w, int h, AVRational tb, int decW, int decH, AVPixelFormat fmt = AV_PIX_FMT_YUV420P) {
    Enc->width = w;
    Enc->height = h;
    Enc->pix_fmt = fmt;
    Enc->time_base = tb;
    Enc->framerate = av_inv_q(tb);
    Enc->codec_type = AVMEDIA_TYPE_VIDEO;
    Dec->codec_type = AVMEDIA_TYPE_VIDEO;
    Dec->width = decW;
    Dec->height = decH;
    Dec->pix_fmt = AV_PIX_FMT_YUV420P;
  }

  void SetAudio(AVSampleFormat encFmt, int encRate, int encChannels, AVSampleFormat decFmt, int decRate,
                int decChannels) {
    Enc->sample_fmt = encFmt;
    Enc->sample_rate = encRate;
    Enc->time_base = AVRational{1, encRate};
    lav::av_channel_layout_default(&Enc->ch_layout, encChannels);
    Dec->sample_fmt = decFmt;
    Dec->sample_rate = decRate;
    lav::av_channel_layout_default(&Dec->ch_layout, decChannels);
  }

  // Output file with one stream, encoder opened (set-up first), header written.
  void Open(const char* muxer, const std::string& name) {
    Path = Dir / name;
    ASSERT_GE(lav::avformat_alloc_output_context2(&Oc, nullptr, muxer, Path.c_str()), 0);
    AVStream* st = lav::avformat_new_stream(Oc, nullptr);
    Ost.Stream = st;
    if (Enc->codec_type == AVMEDIA_TYPE_VIDEO)
      Engine.SetUpVideoEncoding(Ost, Ist);
    else if (Enc->codec_type == AVMEDIA_TYPE_AUDIO)
      Engine.SetUpAudioEncoding(Ost, Ist);
    ASSERT_GE(lav::avcodec_open2(Enc, Enc->codec, nullptr), 0);
    ASSERT_GE(lav::avcodec_parameters_from_context(st->codecpar, Enc), 0);
    st->time_base = Enc->time_base;
    if (Enc->codec_type == AVMEDIA_TYPE_AUDIO) Engine.StartAudioEncoding(Ost, Ist);
    if (!(Oc->oformat->flags & AVFMT_NOFILE)) {
      ASSERT_GE(lav::avio_open(&Oc->pb, Path.c_str(), AVIO_FLAG_WRITE), 0);
    }
    ASSERT_GE(lav::avformat_write_header(Oc, nullptr), 0);
    headerWritten_ = true;
  }

  // Flushes the encoder, writes the trailer and closes the file.
  void Finish() {
    if (!headerWritten_) return;
    headerWritten_ = false;
    if (Enc->codec_type == AVMEDIA_TYPE_VIDEO)
      Engine.FlushVideoEncoder(Oc, Ost);
    else if (Enc->codec_type == AVMEDIA_TYPE_AUDIO)
      Engine.FlushAudioEncoder(Oc, Ost);
    lav::av_write_trailer(Oc);
    if (!(Oc->oformat->flags & AVFMT_NOFILE)) lav::avio_closep(&Oc->pb);
  }

  // Encodes one picture whose input time is t microseconds; returns the frames it became.
  int Picture(AVFrame* pic, int64_t t) {
    Ist.Pts = t;
    const int before = Ost.FrameNumber;
    int size = 0;
    Engine.EncodeVideo(Oc, Ost, Ist, pic, size);
    return Ost.FrameNumber - before;
  }

  void Block(const AVFrame* samples, int64_t t) {
    Ist.Pts = t;
    Engine.EncodeAudio(Oc, Ost, Ist, samples);
  }

 private:
  bool headerWritten_ = false;
};

// A yuv420p picture with a pattern that differs on every line and column.
inline FramePtr MakePicture(int w, int h, int seed = 0) {
  FramePtr f = MakeFrame();
  f->format = AV_PIX_FMT_YUV420P;
  f->width = w;
  f->height = h;
  EXPECT_GE(lav::av_frame_get_buffer(f.get(), 0), 0);
  for (int p = 0; p < 3; ++p) {
    const int pw = p ? (w + 1) / 2 : w, ph = p ? (h + 1) / 2 : h;
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x) f->data[p][y * f->linesize[p] + x] = uint8_t(40 + (x + 3 * y + 7 * p + seed) % 150);
  }
  return f;
}

// Interleaved 16-bit samples: a ramp per channel, so that every sample is recognisable.
inline FramePtr MakeSamples(int count, int rate, int channels, AVSampleFormat fmt = AV_SAMPLE_FMT_S16,
                            int start = 0) {
  FramePtr f = MakeFrame();
  f->format = fmt;
  f->sample_rate = rate;
  f->nb_samples = count;
  lav::av_channel_layout_default(&f->ch_layout, channels);
  EXPECT_GE(lav::av_frame_get_buffer(f.get(), 0), 0);
  if (fmt == AV_SAMPLE_FMT_S16) {
    auto* s = reinterpret_cast<int16_t*>(f->data[0]);
    for (int i = 0; i < count * channels; ++i) s[i] = int16_t(((start * channels + i) * 37) % 20000 - 10000);
  } else if (fmt == AV_SAMPLE_FMT_FLTP) {
    for (int c = 0; c < channels; ++c) {
      auto* s = reinterpret_cast<float*>(f->extended_data[c]);
      for (int i = 0; i < count; ++i) s[i] = float(((start + i) * 37 + c * 11) % 2000 - 1000) / 2000.0f;
    }
  }
  return f;
}

}  // namespace vantrel::test

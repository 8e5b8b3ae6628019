// Transcode set-up: the working tables of a job, the stream-map checks and
// the choice of the input stream that feeds each output stream.
#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {

void TEngineJob::BuildInputTables() {
  InputFileStates.assign(size_t(InputFileCount), TInputFileState{});
  int total = 0;
  for (int i = 0; i < InputFileCount; ++i) {
    InputFileStates[size_t(i)].FirstStream = total;
    InputFileStates[size_t(i)].StreamCount = int32_t(InputFiles[i]->nb_streams);
    total += int(InputFiles[i]->nb_streams);
  }
  InputStreams.clear();
  InputStreams.resize(size_t(total));
  const int64_t now = lav::av_gettime();
  for (int i = 0; i < InputFileCount; ++i) {
    for (int s = 0; s < InputFileStates[size_t(i)].StreamCount; ++s) {
      TInputStreamState& ist = InputStreams[size_t(InputFileStates[size_t(i)].FirstStream + s)];
      ist.FileIndex = i;
      ist.StreamIndex = s;
      ist.Stream = InputFiles[i]->streams[s];
      ist.Decoder = size_t(s) < InputCodecs[i].size() ? InputCodecs[i][size_t(s)].get() : nullptr;
      ist.Discard = true;
      ist.RateEmu = InputRateEmu[i];
      if (ist.RateEmu) {
        ist.Start = now;
        ist.FrameCount = 0;
      }
    }
  }
}

void TEngineJob::CheckStreamMaps() const {
  int outputStreams = 0;
  for (int i = 0; i < OutputFileCount; ++i) {
    if (OutputFiles[i]->nb_streams == 0) throw FFMpegException("Output file does not contain any stream");
    outputStreams += int(OutputFiles[i]->nb_streams);
  }
  if (StreamMapCount > 0 && StreamMapCount != outputStreams)
    throw FFMpegException("Number of stream maps must match number of output streams");
  auto exists = [this](int file, int stream) {
    return file >= 0 && file < InputFileCount && stream >= 0 &&
           stream < InputFileStates[size_t(file)].StreamCount;
  };
  for (int i = 0; i < StreamMapCount; ++i) {
    const TStreamMapEntry& m = StreamMaps[i];
    if (!exists(m.file_index, m.stream_index))
      throw FFMpegException(Format("Could not find input stream #%d.%d", m.file_index, m.stream_index));
    if (!exists(m.sync_file_index, m.sync_stream_index))
      throw FFMpegException(Format("Could not find sync stream #%d.%d", m.sync_file_index, m.sync_stream_index));
  }
}

void TEngineJob::BuildOutputTable() {
  OutputStreams.clear();
  size_t total = 0;
  for (int i = 0; i < OutputFileCount; ++i) total += OutputFiles[i]->nb_streams;
  OutputStreams.resize(total);
  size_t n = 0;
  for (int i = 0; i < OutputFileCount; ++i) {
    for (unsigned s = 0; s < OutputFiles[i]->nb_streams; ++s, ++n) {
      TOutputStreamState& ost = OutputStreams[n];
      ost.FileIndex = i;
      ost.StreamIndex = int32_t(s);
      ost.Stream = OutputFiles[i]->streams[s];
      ost.Encoder = s < OutputCodecs[i].size() ? OutputCodecs[i][s].get() : nullptr;
      ost.Copy = s < OutputStreamCopy[i].size() && OutputStreamCopy[i][s];
      if (!ost.Encoder) throw FFMpegException("av_mallocz fail");
    }
  }
}

int TEngineJob::FindProgramStream(AVMediaType Type) const {
  for (int i = 0; i < InputFileCount; ++i) {
    const AVFormatContext* ic = InputFiles[i].get();
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
      const AVProgram* program = ic->programs[p];
      if (program->id != ProgramId) continue;
      for (unsigned k = 0; k < program->nb_stream_indexes; ++k) {
        const int s = int(program->stream_index[k]);
        if (s >= InputFileStates[size_t(i)].StreamCount) continue;
        const int index = InputFileStates[size_t(i)].FirstStream + s;
        const TInputStreamState& ist = InputStreams[size_t(index)];
        if (ist.Discard && ist.Stream->codecpar->codec_type == Type) return index;
      }
    }
  }
  return -1;
}

namespace {

// Without maps: the first stream of the type nobody took yet, else the last
// stream of the type (one input stream may feed several outputs).
int DefaultSource(const std::vector<TInputStreamState>& Inputs, AVMediaType Type) {
  int last = -1;
  for (size_t k = 0; k < Inputs.size(); ++k) {
    if (Inputs[k].Stream->codecpar->codec_type != Type) continue;
    if (Inputs[k].Discard) return int(k);
    last = int(k);
  }
  return last;
}

}  // namespace

void TEngineJob::ChooseSources() {
  for (size_t n = 0; n < OutputStreams.size(); ++n) {
    TOutputStreamState& ost = OutputStreams[n];
    const AVMediaType type = ost.Encoder->codec_type;
    int source;
    if (StreamMapCount > 0) {
      const TStreamMapEntry& m = StreamMaps[n];
      source = InputFileStates[size_t(m.file_index)].FirstStream + m.stream_index;
      if (InputStreams[size_t(source)].Stream->codecpar->codec_type != type) {
        lav::av_dump_format(OutputFiles[ost.FileIndex].get(), ost.FileIndex, OutputFileNames[ost.FileIndex].c_str(), 1);
        throw FFMpegException(Format("Codec type mismatch for mapping #%d.%d -> #%d.%d", m.file_index,
                                     m.stream_index, ost.FileIndex, ost.StreamIndex));
      }
      ost.SyncStream =
          &InputStreams[size_t(InputFileStates[size_t(m.sync_file_index)].FirstStream + m.sync_stream_index)];
    } else {
      source = ProgramId != 0 ? FindProgramStream(type) : DefaultSource(InputStreams, type);
      if (source < 0) {
        lav::av_dump_format(OutputFiles[ost.FileIndex].get(), ost.FileIndex, OutputFileNames[ost.FileIndex].c_str(), 1);
        throw FFMpegException(Format("Could not find input stream matching output stream #%d.%d", ost.FileIndex,
                                     ost.StreamIndex));
      }
      ost.SyncStream = &InputStreams[size_t(source)];
    }
    ost.SourceIndex = source;
    InputStreams[size_t(source)].Discard = false;
  }
}

void TEngineJob::LogStreamMapping() {
  if (Verbose < 0 || !LogAssigned()) return;
  Log(1, "Stream mapping:");
  for (const TOutputStreamState& ost : OutputStreams) {
    const TInputStreamState& ist = InputStreams[size_t(ost.SourceIndex)];
    Log(1, Format("  Stream #%d.%d -> #%d.%d", ist.FileIndex, ist.StreamIndex, ost.FileIndex, ost.StreamIndex));
    if (ost.SyncStream != &ist)
      Log(1, Format(" [sync #%d.%d]", ost.SyncStream->FileIndex, ost.SyncStream->StreamIndex));
  }
}

double TEngineJob::SyncInputTime(const TOutputStreamState& ost) const {
  return double(SatSub(ost.SyncStream->Pts, StartTime)) / 1000000.0;
}

}  // namespace vantrel

// Transcode set-up, last steps: metadata maps, bit-stream filters, opening
// the outputs for writing and their headers.
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

struct MetadataKey {
  const char* key;
  size_t size;  // the old fixed text fields, terminator included
};
// "artist" is where today's demuxers put what used to be the author.
constexpr MetadataKey kMappedKeys[] = {{"title", 512},  {"author", 512}, {"artist", 512}, {"copyright", 512},
                                       {"comment", 512}, {"album", 512},  {"date", 512},   {"track", 512},
                                       {"genre", 32}};

}  // namespace

void TEngineJob::CopyMappedMetadata() {
  for (int i = 0; i < MetadataMapCount; ++i) {
    const TMetadataMapEntry& m = MetadataMaps[i];
    if (m.out_file < 0 || m.out_file >= OutputFileCount)
      throw FFMpegException(
          Format("Invalid output file index %d map_meta_data(%d,%d)", m.out_file, m.out_file, m.in_file));
    if (m.in_file < 0 || m.in_file >= InputFileCount)
      throw FFMpegException(
          Format("Invalid input file index %d map_meta_data(%d,%d)", m.in_file, m.out_file, m.in_file));
    const AVDictionary* from = InputFiles[m.in_file]->metadata;
    AVDictionary** to = &OutputFiles[m.out_file]->metadata;
    for (const MetadataKey& k : kMappedKeys) {
      const AVDictionaryEntry* e = lav::av_dict_get(from, k.key, nullptr, 0);
      if (e) lav::av_dict_set(to, k.key, std::string(e->value).substr(0, k.size - 1).c_str(), 0);
    }
  }
}

// A chain made by the options knows nothing of its stream until now.
void TEngineJob::InitBitstreamFilters() {
  for (TOutputStreamState& ost : OutputStreams) {
    AVBSFContext* bsf = BitstreamFilters[ost.FileIndex][ost.StreamIndex].get();
    if (!bsf) continue;
    if (lav::avcodec_parameters_copy(bsf->par_in, ost.Stream->codecpar) < 0) throw FFMpegException("av_mallocz fail");
    bsf->time_base_in = ost.Stream->time_base;
    const int ret = lav::av_bsf_init(bsf);
    if (ret < 0)
      throw FFMpegException(FormatOpenError(
          Format("%s failed for stream %d, codec %s", bsf->filter ? bsf->filter->name : "bsf", ost.StreamIndex,
                 ost.Copy ? "copy" : lav::avcodec_get_name(ost.Encoder->codec_id)),
          ret));
    if (lav::avcodec_parameters_copy(ost.Stream->codecpar, bsf->par_out) < 0) throw FFMpegException("av_mallocz fail");
    ost.Stream->time_base = bsf->time_base_out;
  }
}

void TEngineJob::WriteHeaders() {
  bool allRtp = true;
  for (int i = 0; i < OutputFileCount; ++i) {
    AVFormatContext* oc = OutputFiles[i].get();
    // A stop request must not interrupt writing: the output still needs its
    // trailer after the stop.
    oc->interrupt_callback = AVIOInterruptCB{nullptr, nullptr};
    if (!OpenOutputIO(i)) throw FFMpegException(LastError);
    if (lav::avformat_write_header(oc, nullptr) < 0)
      throw FFMpegException(
          Format("Could not write header for output file #%d (incorrect codec parameters ?)", i));
    if (std::strcmp(oc->oformat->name, "rtp") != 0) allRtp = false;
  }
  if (allRtp && LogAssigned()) {
    char sdp[2048] = {};
    AVFormatContext* outputs[MAX_FILES] = {};
    for (int i = 0; i < OutputFileCount; ++i) outputs[i] = OutputFiles[i].get();
    lav::av_sdp_create(outputs, OutputFileCount, sdp, int(sizeof sdp));
    Log(1, "SDP: " + TrimText(sdp));
  }
}

}  // namespace vantrel

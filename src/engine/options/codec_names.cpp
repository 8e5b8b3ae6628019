// Looking codecs up by the names the option language uses.
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// Encoders the old library generation knew by a name the installed one does
// not: the installed encoder that does the same work.
struct TRenamedEncoder {
  const char* old_name;
  const char* new_name;
};
constexpr TRenamedEncoder kRenamedEncoders[] = {{"libfaac", "aac"}};

const char* InstalledEncoderName(const char* Name) {
  for (const TRenamedEncoder& r : kRenamedEncoders)
    if (std::strcmp(Name, r.old_name) == 0) return r.new_name;
  return Name;
}

}  // namespace

bool TEngineJob::CheckCodecName(const char* Name, AVMediaType Type, AVCodecID& CodecId, bool Encoder) {
  if (!Name) {
    CodecId = AV_CODEC_ID_NONE;
    return true;
  }
  const char* kind = Encoder ? "encoder" : "decoder";
  const AVCodec* codec;
  if (Encoder) {
    const char* installed = InstalledEncoderName(Name);
    if (installed != Name && LogAssigned())
      Log(1, Format("Encoder '%s' is not available, using '%s' instead", Name, installed));
    codec = lav::avcodec_find_encoder_by_name(installed);
  } else {
    codec = lav::avcodec_find_decoder_by_name(Name);
  }
  if (!codec) {
    LastError = Format("Unknown %s '%s'", kind, Name);
    return false;
  }
  if (codec->type != Type) {
    LastError = Format("Invalid %s type '%s'", kind, Name);
    return false;
  }
  CodecId = codec->id;
  return true;
}

}  // namespace vantrel

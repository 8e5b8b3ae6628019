// Options the installed libraries keep on a muxer of its own ("muxrate" of
// the MPEG muxers, for instance) rather than on the format context. The
// output format is not known when such an option is given, so the value is
// checked against a muxer that has the option, kept, and handed to every
// later output whose muxer knows the name.
extern "C" {
#include <libavutil/opt.h>
}

#include "binding/av_binding.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

const AVOutputFormat* MuxerWithOption(const std::string& Name) {
  void* state = nullptr;
  while (const AVOutputFormat* muxer = lav::av_muxer_iterate(&state)) {
    if (!muxer->priv_class) continue;
    const AVClass* cls = muxer->priv_class;
    const AVOption* o = lav::av_opt_find(&cls, Name.c_str(), nullptr, AV_OPT_FLAG_ENCODING_PARAM,
                                         AV_OPT_SEARCH_FAKE_OBJ);
    if (o && o->type != AV_OPT_TYPE_CONST) return muxer;
  }
  return nullptr;
}

}  // namespace

bool TEngineJob::KnowsMuxerOption(const std::string& Name) const { return MuxerWithOption(Name) != nullptr; }

bool TEngineJob::SetMuxerOption(const std::string& Name, const std::string& Value) {
  const AVOutputFormat* muxer = MuxerWithOption(Name);
  if (!muxer) return false;
  // The muxer's own context says whether it takes the value.
  AVFormatContext* made = nullptr;
  if (lav::avformat_alloc_output_context2(&made, muxer, nullptr, nullptr) < 0 || !made) return false;
  const FormatContextPtr probe(made);
  if (!probe->priv_data || lav::av_opt_set(probe->priv_data, Name.c_str(), Value.c_str(), 0) < 0) return false;
  for (auto& [name, value] : MuxerOptions)
    if (name == Name) {
      value = Value;
      return true;
    }
  MuxerOptions.emplace_back(Name, Value);
  return true;
}

void TEngineJob::ApplyMuxerOptions(AVFormatContext* oc) {
  if (!oc->priv_data) return;
  for (const auto& [name, value] : MuxerOptions)
    if (lav::av_opt_find(oc->priv_data, name.c_str(), nullptr, 0, 0))
      lav::av_opt_set(oc->priv_data, name.c_str(), value.c_str(), 0);
}

}  // namespace vantrel

// Pending bit-stream filter chains of the "vbsf", "absf" and "sbsf" options.
// A chain is one filter context (a list filter when it holds several); since a
// finished list cannot grow, it is rebuilt from its names on each append.
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {

void TEngineJob::OptBitstreamFilter(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty() || Value[0] == '=') return;
  const std::string filterName = Value.substr(0, Value.find('='));
  if (!lav::av_bsf_get_by_name(filterName.c_str()))
    throw FFMpegException(Format("Unknown bitstream filter %s", TrimText(Value)));

  const int type = Name[0] == 'v' ? 0 : Name[0] == 'a' ? 1 : 2;
  BitstreamFilterPtr& chain = type == 0 ? VideoBitstreamFilters
                         : type == 1 ? AudioBitstreamFilters
                                     : SubtitleBitstreamFilters;
  std::vector<std::string>& names = PendingBitstreamFilterNames[type];
  // A chain handed to a stream (or freed) leaves the field empty: start anew.
  if (!chain) names.clear();

  std::string list;
  for (const std::string& n : names) list += n + ",";
  list += filterName;
  AVBSFContext* rebuilt = nullptr;
  if (lav::av_bsf_list_parse_str(list.c_str(), &rebuilt) < 0 || !rebuilt)
    throw FFMpegException(Format("Unknown bitstream filter %s", TrimText(Value)));
  chain.reset(rebuilt);
  names.push_back(filterName);
}

}  // namespace vantrel

// The video filter graph ("vfilters"). Not built yet: a job that asks for one
// is refused at set-up with "Error opening filters: " and this reason.
#include "engine/engine.h"

namespace vantrel {

bool TCustomFFmpeg::SetUpFilterGraph(TInputStreamState&, TOutputStreamState&) {
  FilterError = "video filter graphs are not available in this build yet";
  return false;
}

}  // namespace vantrel

// Stand-ins for the parts of a job that other sides provide (re-encoding,
// filter graphs), until they land here.
#include "engine/engine.h"

namespace vantrel {
bool TCustomFFmpeg::SetUpFilterGraph(TInputStreamState&, TOutputStreamState&) {
  FilterError = "filter graphs are not available in this build yet";
  return false;
}

}  // namespace vantrel

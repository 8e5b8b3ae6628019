// Exports the names of the filter library's functions that the program binds,
// as empty stand-ins. The build renames one of them away, so that binding
// this library fails on exactly that export.
#include "binding/av_function_lists.h"

#define VANTREL_STUB(name) extern "C" __attribute__((visibility("default"))) void name() {}
VANTREL_AVFILTER_FUNCTIONS(VANTREL_STUB)

#include "converter/log_level.h"

namespace vantrel {

TLogLevel MapLogLevel(int Level) {
  if (Level < 0) return llQuiet;
  if (Level >= 3) return llAll;
  return TLogLevel(Level + 1);
}

}  // namespace vantrel

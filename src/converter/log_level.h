// The level scale of the converter's log. Engines and the libraries, as the
// program configures them, speak small integers (-1 quiet, 0 error,
// 1 information, 2 debug, 3 everything); TLogLevel is that scale shifted by one.
#pragma once

namespace vantrel {

enum TLogLevel { llQuiet, llError, llInfo, llDebug, llAll };

// The engine's level for a component level: ord(L) - 1.
constexpr int EngineLogLevel(TLogLevel Level) { return int(Level) - 1; }

// The level an OnLog handler sees for an engine or library level: below 0
// quiet (the text of an exception that ended a job), 3 and above everything.
TLogLevel MapLogLevel(int Level);

}  // namespace vantrel

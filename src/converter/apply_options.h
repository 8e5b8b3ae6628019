// How a task's option records become settings of its engine. Every value
// goes through one of the engine's handlers or SetOption; a handler that
// refuses a value raises its exception, which ends the apply at that field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/task_options.h"
#include "engine/engine.h"

namespace vantrel {

// The free option lines first, so the fields override them; then the input
// format, the start position and the program.
void ApplyInputOptions(TCustomFFmpeg& Engine, const TInputOptions& Options);
// The free option lines, then the fields from FileFormat to Genre in record
// order, then the target preset. The hook fields are not read here.
void ApplyOutputOptions(TCustomFFmpeg& Engine, const TOutputOptions& Options);

// One "name=value" pair per line (CR LF, CR or LF), cut at the first "=";
// a line without "=" is a name with an empty value. What SetOption makes of
// a pair is not examined; only its exceptions end the call.
void ApplyOptionText(TCustomFFmpeg& Engine, const std::string& Text);

// The vcd, svcd or dvd preset for TargetType 1, 2 or 3, with the norm and
// the fallback norm of the record; any other type does nothing.
void ApplyTarget(TCustomFFmpeg& Engine, const TOutputOptions& Options);

// "start-end" pieces in milliseconds, separated by commas, as microsecond
// ranges in text order. A piece whose end is missing, not a number, negative
// or before its start is dropped; a start that is not a number is -1 ms.
std::vector<THookRange> ParseHookRangeText(const std::string& Text);
// Hands the ranges of the text to the engine, which keeps them sorted.
void ParseHookRanges(TCustomFFmpeg& Engine, const std::string& Text);

// Local date and time as Unix seconds. The offset taken off is the time
// zone's standard offset; a daylight-saving shift is not taken into account.
int64_t DateTimeToUnixUTC(TDateTime DateTime);
// The current local date and time.
TDateTime NowAsDateTime();

}  // namespace vantrel

// Conversion of option values to numbers, independent of the user's locale.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantrel {

// A value that is not a number of the asked kind.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& msg) : std::runtime_error(msg) {}
};

// Decimal with optional leading blanks and sign; "$", "x", "X", "0x" or "0X"
// after the sign introduces hexadecimal digits (which may use the full
// unsigned range and wrap, as a bit pattern). Anything else, trailing text
// included, raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& Text);
int64_t StrToInt64(const std::string& Text);
// As StrToInt, but Default instead of the error.
int32_t StrToIntDef(const std::string& Text, int32_t Default);

// Decimal fraction with optional exponent, '.' as the separator, blanks
// around allowed. Raises EConvertError "'%s' is not a valid floating point
// value" otherwise (infinities and NaN included).
double StrToFloat(const std::string& Text);
double StrToFloatDef(const std::string& Text, double Default);
// As StrToFloat for a 32-bit variable: a value beyond its range is refused
// with the same error rather than becoming an infinity.
float StrToSingle(const std::string& Text);

// Whether a value of the option table's Name is of the option's kind (a
// number, a duration, a size, a rate), positive where zero or less means
// nothing. True for the options whose value is none of these, and for an
// empty value where the handler reads it as "leave alone".
bool TableValueAccepted(const std::string& Name, const std::string& Value);

// Text with the blanks (and control characters) around it removed.
std::string TrimText(const std::string& Text);

}  // namespace vantrel

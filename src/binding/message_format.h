// The program's message formatter: printf-like directives with the habits of
// the messages it formats. "%d" takes 32- and 64-bit integers, "%f" without a
// precision prints two decimals, "%s" takes any text. Numbers never depend on
// the user's locale: the decimal separator is always '.'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace vantrel {

using FormatArg = std::variant<int64_t, uint64_t, double, std::string>;

std::string FormatArgs(std::string_view fmt, const std::vector<FormatArg>& args);

namespace detail {
template <typename T>
FormatArg ToFormatArg(const T& v) {
  if constexpr (std::is_same_v<T, bool>)
    return int64_t(v);
  else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>)
    return int64_t(v);
  else if constexpr (std::is_integral_v<T>)
    return uint64_t(v);
  else if constexpr (std::is_enum_v<T>)
    return int64_t(v);
  else if constexpr (std::is_floating_point_v<T>)
    return double(v);
  else if constexpr (std::is_pointer_v<T> && !std::is_convertible_v<T, const char*>)
    return uint64_t(reinterpret_cast<uintptr_t>(v));
  else if constexpr (std::is_array_v<T>)
    return std::string(v);
  else if constexpr (std::is_convertible_v<T, const char*>)
    return std::string(v ? static_cast<const char*>(v) : "");
  else
    return std::string(v);
}
}  // namespace detail

template <typename... Args>
std::string Format(std::string_view fmt, const Args&... args) {
  return FormatArgs(fmt, std::vector<FormatArg>{detail::ToFormatArg(args)...});
}

// Locale-independent "%.*f".
std::string FixedText(double value, int decimals);

}  // namespace vantrel

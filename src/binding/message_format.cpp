#include "binding/message_format.h"

#include <charconv>
#include <cmath>

namespace vantrel {
namespace {

struct Directive {
  bool left = false;
  bool zero = false;
  char sign = 0;  // '+' or ' ' before positive numbers
  int width = -1;
  int precision = -1;
  char type = 0;
};

std::string FloatText(double v, char type, int precision) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  char buf[512];
  std::chars_format f = type == 'e'   ? std::chars_format::scientific
                        : type == 'g' ? std::chars_format::general
                                      : std::chars_format::fixed;
  if (type == 'g' && precision < 0) precision = 15;
  if (type == 'e' && precision < 0) precision = 6;
  if (precision < 0) precision = 2;
  auto r = std::to_chars(buf, buf + sizeof buf, v, f, precision);
  if (r.ec != std::errc()) return "?";
  return std::string(buf, r.ptr);
}

std::string IntegerText(const FormatArg& a, int base, bool upper) {
  char buf[32];
  std::to_chars_result r{};
  if (auto* i = std::get_if<int64_t>(&a))
    r = std::to_chars(buf, buf + sizeof buf, base == 10 ? *i : int64_t(uint64_t(*i)), base);
  else if (auto* u = std::get_if<uint64_t>(&a))
    r = std::to_chars(buf, buf + sizeof buf, *u, base);
  else if (auto* d = std::get_if<double>(&a))
    r = std::to_chars(buf, buf + sizeof buf, int64_t(*d), base);
  else
    return std::get<std::string>(a);
  std::string s(buf, r.ptr);
  if (upper)
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ArgText(const Directive& d, const FormatArg& a) {
  switch (d.type) {
    case 'd':
    case 'i':
    case 'u':
      return IntegerText(a, 10, false);
    case 'x':
    case 'X':
      return IntegerText(a, 16, d.type == 'X');
    case 'f':
    case 'e':
    case 'g':
    case 'n': {
      double v = 0;
      if (auto* x = std::get_if<double>(&a)) v = *x;
      else if (auto* i = std::get_if<int64_t>(&a)) v = double(*i);
      else if (auto* u = std::get_if<uint64_t>(&a)) v = double(*u);
      else return std::get<std::string>(a);
      return FloatText(v, d.type == 'n' ? 'f' : d.type, d.precision);
    }
    default: {  // 's' and anything unknown
      if (auto* s = std::get_if<std::string>(&a)) {
        if (d.precision >= 0 && size_t(d.precision) < s->size()) return s->substr(0, d.precision);
        return *s;
      }
      return IntegerText(a, 10, false);
    }
  }
}

bool IsNumeric(char type) {
  switch (type) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'f': case 'e': case 'g': case 'n':
      return true;
    default:
      return false;
  }
}

// Sign and zero padding of a number, then the width, as printf lays them out:
// the zeros go between the sign and the digits; a left-aligned field and a
// text argument are padded with blanks only.
std::string Pad(const Directive& d, const FormatArg& a, std::string text) {
  const bool number = IsNumeric(d.type) && !std::holds_alternative<std::string>(a);
  const bool signedType = d.type != 'u' && d.type != 'x' && d.type != 'X';
  if (number && signedType && d.sign && !text.empty() && text[0] != '-') text.insert(text.begin(), d.sign);
  // An integer's precision is its least number of digits.
  const bool integer = number && (d.type == 'd' || d.type == 'i' || d.type == 'u' || d.type == 'x' || d.type == 'X');
  const size_t signLength = !text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ') ? 1 : 0;
  if (integer && d.precision >= 0 && text.size() - signLength < size_t(d.precision))
    text.insert(signLength, size_t(d.precision) - (text.size() - signLength), '0');
  if (d.width <= 0 || text.size() >= size_t(d.width)) return text;
  const size_t fill = size_t(d.width) - text.size();
  // Infinities and NaN are never zero-filled; an integer with a precision neither.
  const bool finite = text.find_first_of("IN") == std::string::npos;
  if (d.left) return text + std::string(fill, ' ');
  if (number && d.zero && finite && !(integer && d.precision >= 0)) return text.insert(signLength, fill, '0');
  return std::string(fill, ' ') + text;
}

size_t ParseNumber(std::string_view fmt, size_t i, int& out) {
  out = 0;
  while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') out = out * 10 + (fmt[i++] - '0');
  return i;
}

}  // namespace

std::string FixedText(double value, int decimals) { return FloatText(value, 'f', decimals); }

std::string FormatArgs(std::string_view fmt, const std::vector<FormatArg>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%') {
      out += fmt[i];
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    Directive d;
    size_t j = i + 1;
    while (j < fmt.size() && (fmt[j] == '-' || fmt[j] == '0' || fmt[j] == '+' || fmt[j] == ' ')) {
      d.left |= fmt[j] == '-';
      d.zero |= fmt[j] == '0';
      if (fmt[j] == '+' || (fmt[j] == ' ' && d.sign != '+')) d.sign = fmt[j];
      ++j;
    }
    if (j < fmt.size() && fmt[j] >= '1' && fmt[j] <= '9') j = ParseNumber(fmt, j, d.width);
    if (j < fmt.size() && fmt[j] == '.') j = ParseNumber(fmt, j + 1, d.precision);
    while (j < fmt.size() && (fmt[j] == 'l' || fmt[j] == 'h' || fmt[j] == 'z')) ++j;
    if (j >= fmt.size()) {
      out.append(fmt.substr(i));
      break;
    }
    d.type = fmt[j];
    if (next < args.size()) {
      const FormatArg& a = args[next++];
      out += Pad(d, a, ArgText(d, a));
    } else {
      out += Pad(d, FormatArg(std::string()), std::string());
    }
    i = j;
  }
  return out;
}

}  // namespace vantrel

#include "binding/message_format.h"

#include <charconv>
#include <cmath>

namespace vantrel {
namespace {

struct Directive {
  bool left = false;
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
    std::string text = next < args.size() ? ArgText(d, args[next++]) : std::string();
    if (d.width > 0 && text.size() < size_t(d.width))
      text = d.left ? text + std::string(d.width - text.size(), ' ')
                    : std::string(d.width - text.size(), ' ') + text;
    out += text;
    i = j;
  }
  return out;
}

}  // namespace vantrel

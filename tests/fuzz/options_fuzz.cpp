// Feeds random option names and values, and option lines ("name=value"), to a
// fresh engine. Refusals are exceptions and fine; crashes, leaks and
// sanitizer reports are findings.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "binding/av_binding.h"
#include "engine/engine.h"

namespace {

void Quiet(void*, int, const char*, va_list) {}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

void Apply(vantrel::TCustomFFmpeg& engine, const std::string& name, const std::string& value) {
  try {
    engine.SetOption(name, value);
  } catch (const std::exception&) {
  }
}

// First byte even: NUL-separated name/value pairs; odd: lines of name=value.
void ApplyInput(vantrel::TCustomFFmpeg& engine, const std::string& text) {
  if (text.empty()) return;
  const std::string body = text.substr(1);
  if (text[0] % 2 == 0) {
    const std::vector<std::string> parts = Split(body, '\0');
    for (size_t i = 0; i + 1 < parts.size(); i += 2) Apply(engine, parts[i], parts[i + 1]);
    return;
  }
  for (const std::string& line : Split(body, '\n')) {
    const size_t eq = line.find('=');
    Apply(engine, line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1));
  }
}

// The recorded generic options must copy into a new context without harm.
void CopyIntoNewContext(vantrel::TCustomFFmpeg& engine) {
  AVCodecContext* ctx = lav::avcodec_alloc_context3(nullptr);
  engine.ApplyContextOptions(ctx, engine.CodecOptions[0].get(), AV_OPT_FLAG_VIDEO_PARAM);
  engine.ApplyContextOptions(ctx, engine.FormatOptions.get(), 0);
  lav::avcodec_free_context(&ctx);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!vantrel::LoadLibraries("", true)) return 1;
  lav::av_log_set_callback(Quiet);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantrel::TCustomFFmpeg engine;
  engine.ResetEngine();
  engine.OnLog = [](vantrel::TCustomFFmpeg*, int, const std::string&) {};
  ApplyInput(engine, std::string(reinterpret_cast<const char*>(data), size));
  CopyIntoNewContext(engine);
  return 0;
}

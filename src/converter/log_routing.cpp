#include "converter/log_routing.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdint>
#include <string_view>
#include <utility>

#include "binding/av_binding.h"
#include "engine/codec_lock.h"
#include "engine/engine.h"
#include "engine/log_threshold.h"

namespace vantrel {
namespace {

constexpr size_t kLineBufferSize = 2048;

// The message as it is assembled: the start, then the formatted text, never
// beyond the buffer and always NUL-terminated. What does not fit is cut, and
// the cut ends the line: its own line feed was cut away with the rest, and a
// full tail would swallow every later message of the thread.
class LineBuffer {
 public:
  void Put(std::string_view text) {
    const size_t n = std::min(text.size(), Room() - 1);
    std::copy_n(text.data(), n, data_.data() + used_);
    used_ += n;
    cut_ = cut_ || n < text.size();
  }
  // The formatter writes at most the room left, the terminating NUL
  // included.
  void Format(const char* fmt, va_list vl) {
    if (!fmt) return;
    const int wanted = lav::vsnprintf(data_.data() + used_, Room(), fmt, vl);
    cut_ = cut_ || (wanted > 0 && size_t(wanted) >= Room());
  }
  std::string Text() const {
    std::string text(data_.data());
    if (cut_ && (text.empty() || text.back() != '\n')) text += '\n';
    return text;
  }

 private:
  size_t Room() const { return kLineBufferSize - used_; }

  std::array<char, kLineBufferSize> data_{};
  size_t used_ = 0;
  bool cut_ = false;
};

// "[item @ ADDRESS]" for a context, or nothing when it has no class.
std::string Prefix(void* avcl) {
  if (!avcl) return {};
  const AVClass* cls = *static_cast<const AVClass* const*>(avcl);
  if (!cls) return {};
  const char* item = cls->item_name ? cls->item_name(avcl) : cls->class_name;
  std::array<char, 2 * sizeof(uintptr_t) + 1> address{};
  lav::snprintf(address.data(), address.size(), "%08" PRIXPTR, reinterpret_cast<uintptr_t>(cls));
  return "[" + std::string(item ? item : "") + " @ " + address.data() + "]";
}

// The thread's unfinished tail, taken out of its node, so that a message
// logged by a route of this very thread starts a line of its own.
std::string TakeTail(TThreadID thread) {
  TLogList& list = LogBuffers();
  std::lock_guard<std::mutex> guard(list.Guard());
  return std::exchange(list.GetThreadBuffer(thread)->Text, std::string());
}

// Looked up again: the list may have been cleared while the lines went out.
void KeepTail(TThreadID thread, std::string tail) {
  TLogList& list = LogBuffers();
  std::lock_guard<std::mutex> guard(list.Guard());
  list.GetThreadBuffer(thread)->Text = std::move(tail);
}

// The whole lines of a text, and what follows the last line feed.
std::vector<std::string> SplitLines(const std::string& text, std::string& tail) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  tail = text.substr(start);
  return lines;
}

// Every line to every route still registered, in order.
void DispatchLines(TThreadID thread, int level, const std::vector<std::string>& lines) {
  TConverterRegistry& registry = ConverterRegistry();
  for (const std::string& line : lines)
    for (TLogRoute* route : registry.Routes()) registry.Deliver(route, thread, level, line);
}

}  // namespace

void TConverterRegistry::Register(TLogRoute* ARoute) {
  std::lock_guard<std::mutex> lock(lock_);
  if (ARoute && std::find(routes_.begin(), routes_.end(), ARoute) == routes_.end()) routes_.push_back(ARoute);
}

bool TConverterRegistry::Delivering(TLogRoute* ARoute, std::thread::id AExcept) const {
  return std::any_of(deliveries_.begin(), deliveries_.end(),
                     [&](const TDelivery& d) { return d.route == ARoute && d.thread != AExcept; });
}

void TConverterRegistry::Unregister(TLogRoute* ARoute) {
  std::unique_lock<std::mutex> lock(lock_);
  routes_.erase(std::remove(routes_.begin(), routes_.end(), ARoute), routes_.end());
  // A line this very thread is delivering to it is its own handler's
  // business; those of other threads finish first.
  const std::thread::id self = std::this_thread::get_id();
  done_.wait(lock, [&] { return !Delivering(ARoute, self); });
}

std::vector<TLogRoute*> TConverterRegistry::Routes() const {
  std::lock_guard<std::mutex> lock(lock_);
  return routes_;
}

void TConverterRegistry::Deliver(TLogRoute* ARoute, TThreadID AThreadID, int ALevel, const std::string& ALine) {
  const std::thread::id self = std::this_thread::get_id();
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (std::find(routes_.begin(), routes_.end(), ARoute) == routes_.end()) return;
    deliveries_.push_back({ARoute, self});
  }
  struct Delivered {
    TConverterRegistry& registry;
    TLogRoute* route;
    std::thread::id thread;
    ~Delivered() {
      std::lock_guard<std::mutex> lock(registry.lock_);
      auto& all = registry.deliveries_;
      const auto it = std::find_if(all.rbegin(), all.rend(),
                                   [&](const TDelivery& d) { return d.route == route && d.thread == thread; });
      if (it != all.rend()) all.erase(std::next(it).base());
      registry.done_.notify_all();
    }
  } delivered{*this, ARoute, self};
  ARoute->DispatchLibLog(AThreadID, ALevel, ALine);
}

TConverterRegistry& ConverterRegistry() {
  static TConverterRegistry registry;
  return registry;
}

void RegisterLogRoute(TLogRoute* ARoute) { ConverterRegistry().Register(ARoute); }
void UnregisterLogRoute(TLogRoute* ARoute) { ConverterRegistry().Unregister(ARoute); }

TLogList::TNode* TLogList::GetThreadBuffer(TThreadID AThreadID) {
  if (head_.ThreadID == 0 || head_.ThreadID == AThreadID) {
    head_.ThreadID = AThreadID;
    return &head_;
  }
  for (TNode* node = head_.Next.get(); node; node = node->Next.get())
    if (node->ThreadID == AThreadID) return node;
  auto node = std::make_unique<TNode>();
  node->ThreadID = AThreadID;
  node->Next = std::move(head_.Next);
  head_.Next = std::move(node);
  return head_.Next.get();
}

void TLogList::Clear() {
  std::unique_ptr<TNode> chain;
  {
    std::lock_guard<std::mutex> guard(guard_);
    head_.ThreadID = 0;
    head_.Text.clear();
    chain = std::move(head_.Next);
  }
  // Freed one by one: a long chain must not recurse through the nodes'
  // destructors.
  while (chain) chain = std::move(chain->Next);
}

TLogList& LogBuffers() {
  static TLogList list;
  return list;
}

void ClearLogBuffers() { LogBuffers().Clear(); }

int EngineLevelOfLibraryLevel(int ALibraryLevel) {
  if (ALibraryLevel < AV_LOG_PANIC) return -1;
  // Above the level the libraries may carry colour bits.
  const int level = ALibraryLevel & 0xff;
  if (level <= AV_LOG_ERROR) return 0;
  if (level <= AV_LOG_INFO) return 1;
  if (level <= AV_LOG_DEBUG) return 2;
  return 3;
}

void LibLogCallback(void* avcl, int level, const char* fmt, va_list vl) {
  const int engineLevel = EngineLevelOfLibraryLevel(level);
  if (engineLevel > ThreadLogThreshold()) return;
  // Each thread assembles its own lines; no lock is held while they go out,
  // and lines logged while an engine holds the codec lock go out once it
  // has let go of it.
  const TThreadID thread = CurrentThreadID();
  LineBuffer buffer;
  std::string tail = TakeTail(thread);
  buffer.Put(tail.empty() ? Prefix(avcl) : tail);
  buffer.Format(fmt, vl);
  std::vector<std::string> lines = SplitLines(buffer.Text(), tail);
  if (CodecLockHeldHere()) {
    KeepTail(thread, std::move(tail));
    RunOutsideCodecLock([thread, engineLevel, lines = std::move(lines)] { DispatchLines(thread, engineLevel, lines); });
    return;
  }
  // The tail stays out while the lines go: a line a route logs on this
  // thread starts a line of its own.
  DispatchLines(thread, engineLevel, lines);
  KeepTail(thread, std::move(tail));
}

}  // namespace vantrel

#include "converter/ffmpeg_task.h"

namespace vantrel {

TFFmpeg::TFFmpeg() {
  InitInputOptions(InputOptions);
  InitOutputOptions(OutputOptions);
}

TFFmpeg::~TFFmpeg() { StopAndWait(); }

TFFmpeg* TFFmpegList::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) return nullptr;
  return items_[size_t(AIndex)].get();
}

TFFmpeg* TFFmpegList::Add(std::unique_ptr<TFFmpeg> ATask) {
  ATask->Index = Count();
  items_.push_back(std::move(ATask));
  return items_.back().get();
}

std::unique_ptr<TFFmpeg> TFFmpegList::Extract(int AIndex) {
  if (AIndex < 0 || AIndex >= Count()) return nullptr;
  std::unique_ptr<TFFmpeg> task = std::move(items_[size_t(AIndex)]);
  items_.erase(items_.begin() + AIndex);
  for (int i = AIndex; i < Count(); ++i) items_[size_t(i)]->Index = i;
  return task;
}

TFFmpeg* TFFmpegList::AddNumbered(std::unique_ptr<TFFmpeg> ATask) {
  items_.push_back(std::move(ATask));
  return items_.back().get();
}

std::unique_ptr<TFFmpeg> TFFmpegList::ExtractTask(const TFFmpeg* ATask) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() != ATask) continue;
    std::unique_ptr<TFFmpeg> task = std::move(*it);
    items_.erase(it);
    return task;
  }
  return nullptr;
}

TFFmpeg* TFFmpegList::FindByIndex(int AIndex) const {
  for (const auto& task : items_)
    if (task->Index == AIndex) return task.get();
  return nullptr;
}

std::vector<std::unique_ptr<TFFmpeg>> TFFmpegList::ExtractAll() {
  std::vector<std::unique_ptr<TFFmpeg>> all;
  all.swap(items_);
  return all;
}

void TFFmpegList::Clear() {
  // Freed in list order, like the tasks were made.
  std::vector<std::unique_ptr<TFFmpeg>> all = ExtractAll();
  for (auto& task : all) task.reset();
}

TFFmpeg* TFFmpegList::FindByThreadID(TThreadID AThreadID) const {
  // Tasks run one at a time all share the user-interface thread's id: the
  // one running now wrote the line, not the first that ever ran there.
  for (const auto& task : items_)
    if (task->ThreadID == AThreadID && task->Running()) return task.get();
  for (const auto& task : items_)
    if (task->ThreadID == AThreadID) return task.get();
  return nullptr;
}

}  // namespace vantrel

// The task of a planned batch while it is being made, on the worker that
// will run it: the two steps that AddTask and SetOutputFile take for a task
// of the list, for this one task.
#pragma once

#include <string>

#include "converter/task_options.h"

namespace vantrel {

class TCustomBrontConverter;
class TFFmpeg;

class TPlannedTask {
 public:
  TPlannedTask(const TPlannedTask&) = delete;
  TPlannedTask& operator=(const TPlannedTask&) = delete;

  // The input options applied and the input opened, as AddTask does. False
  // with the reason in LastErrMsg. An empty FileName of the record is
  // filled with AFileName.
  bool OpenInput(const std::string& AFileName, TInputOptions* AInputOptions = nullptr);
  // The output options applied and the output made, as SetOutputFile does.
  bool SetOutputFile(const std::string& AFileName, TOutputOptions* AOutputOptions = nullptr);
  // Whether the batch was stopped while the task was being made: opening
  // then fails, and the task ends as stopped whatever the maker says.
  bool StopRequested() const;
  const std::string& LastErrMsg() const { return lastErrMsg_; }

 private:
  friend class TCustomBrontConverter;
  TPlannedTask(TCustomBrontConverter& AConverter, TFFmpeg& ATask) : converter_(AConverter), task_(ATask) {}

  TCustomBrontConverter& converter_;
  TFFmpeg& task_;
  std::string lastErrMsg_;
};

}  // namespace vantrel

#include "converter/task_options.h"

namespace vantrel {

void InitInputOptions(TInputOptions& Options) {
  Options.FileName.clear();
  Options.FileFormat.clear();
  Options.StartTime = -1;
  Options.ProgramID = -1;
  Options.ExtOptions.clear();
  Options.LowRes = 0;
  Options.SkipLoopFilter = 0;
  Options.SkipDroppedPictures = false;
  Options.HalveBeforeScaling = false;
  Options.DecoderThreads = 0;
  Options.LocalFileOnly = false;
}

// A value-initialised record has every string empty, every flag off and
// every array zeroed; only the numbers whose unset value is not 0 remain.
void InitOutputOptions(TOutputOptions& Options) {
  Options = TOutputOptions{};
  Options.PacketSize = -1;
  Options.MuxRate = -1;
  Options.MuxDelay = -1.0f;
  Options.MuxPreload = -1.0f;
  Options.AudioVolume = -1;
  Options.AudioChannels = -1;
  Options.AudioSampleRate = -1;
  Options.AudioBitrate = -1;
  Options.AudioBitrateTolerance = -1;
  Options.CropTop = Options.CropBottom = Options.CropLeft = Options.CropRight = -1;
  Options.PadTop = Options.PadBottom = Options.PadLeft = Options.PadRight = -1;
  Options.GopSize = -1;
  Options.VideoBitrate = -1;
  Options.VideoMaxRate = -1;
  Options.VideoMinRate = -1;
  Options.VideoBitrateTolerance = -1;
  Options.VideoBufSize = -1;
  Options.VideoSyncMethod = -1;
  Options.Duration = -1;
  Options.Timestamp = -1.0;
  Options.Year = -1;
  Options.Track = -1;
  Options.TargetFallbackNorm = 1;
  Options.ExistingOutput = eoEngineDefault;
  Options.EncoderThreads = 0;
}

}  // namespace vantrel

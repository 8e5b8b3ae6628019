// The H.263/AMR-NB 3GP phone profile as the application fills the record,
// for the tests that convert through the option records.
#pragma once

#include "converter/task_options.h"

namespace vantrel::test {

inline TOutputOptions PhoneProfile() {
  TOutputOptions o;
  InitOutputOptions(o);
  o.FileFormat = "3gp";
  o.VideoCodec = "h263";
  o.FrameSize = "176x144";
  o.FrameRate = "15";
  o.VideoBitrate = 40000;
  o.AudioCodec = "libopencore_amrnb";
  o.AudioSampleRate = 8000;
  o.AudioChannels = 1;
  o.AudioBitrate = 12200;
  return o;
}

}  // namespace vantrel::test

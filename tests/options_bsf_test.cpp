// Pending bit-stream filter chains built from "vbsf", "absf" and "sbsf".
#include <gtest/gtest.h>

#include <cstring>

#include "options_test_engine.h"

namespace vantrel {
namespace {

using test::OptionEngine;
using test::OptionJob;
using test::Refusal;

// Runs one packet through the chain and returns its data.
std::string Filter(AVBSFContext* chain, const std::string& data) {
  EXPECT_EQ(lav::av_bsf_init(chain), 0);
  AVPacket* pkt = lav::av_packet_alloc();
  lav::av_new_packet(pkt, int(data.size()));
  std::memcpy(pkt->data, data.data(), data.size());
  std::string out;
  if (lav::av_bsf_send_packet(chain, pkt) == 0 && lav::av_bsf_receive_packet(chain, pkt) == 0)
    out.assign(reinterpret_cast<const char*>(pkt->data), pkt->size);
  lav::av_packet_free(&pkt);
  return out;
}

TEST(BitstreamFilters, UnknownAndEmptyNames) {
  OptionJob e;
  EXPECT_EQ(Refusal([&] { e.SetOption("vbsf", " no_such_bsf "); }), "Unknown bitstream filter no_such_bsf");
  e.SetOption("vbsf", "");
  e.SetOption("vbsf", "=null");
  EXPECT_EQ(e.VideoBitstreamFilters.get(), nullptr);
  e.SetOption("absf", "null=whatever");
  e.SetOption("sbsf", "null");
  ASSERT_NE(e.AudioBitstreamFilters.get(), nullptr);
  EXPECT_STREQ(e.AudioBitstreamFilters->filter->name, "null");
  EXPECT_NE(e.SubtitleBitstreamFilters.get(), nullptr);
  EXPECT_EQ(e.VideoBitstreamFilters.get(), nullptr);
}

// Wrapping as a timed-text sample and unwrapping again gives the text back;
// in the other order the first two bytes are taken for a length header.
TEST(BitstreamFilters, ChainsApplyFiltersInTheOrderGiven) {
  OptionJob e;
  e.SetOption("vbsf", "text2movsub");
  e.SetOption("vbsf", "mov2textsub");
  EXPECT_EQ(e.PendingBitstreamFilterNames[0], (std::vector<std::string>{"text2movsub", "mov2textsub"}));
  EXPECT_EQ(Filter(e.VideoBitstreamFilters.get(), "ABCD"), "ABCD");

  e.SetOption("sbsf", "mov2textsub");
  e.SetOption("sbsf", "text2movsub");
  EXPECT_EQ(Filter(e.SubtitleBitstreamFilters.get(), "ABCD"), std::string("\0\2CD", 4));
}

TEST(BitstreamFilters, AHandedOverChainStartsAfresh) {
  OptionJob e;
  e.SetOption("vbsf", "null");
  BitstreamFilterPtr handed = std::move(e.VideoBitstreamFilters);  // as the stream creation does
  e.SetOption("vbsf", "noise");
  EXPECT_EQ(e.PendingBitstreamFilterNames[0], std::vector<std::string>{"noise"});
}

}  // namespace
}  // namespace vantrel

// The list of codec contexts a job opened: it closes what it holds, once,
// and nothing it does not hold.
#include <gtest/gtest.h>

#include "binding/av_binding.h"
#include "binding/av_ptr.h"
#include "engine/transcode/opened_codecs.h"
#include "test_support.h"

namespace vantrel {
namespace {

// An opened decoder context, owned by the test as the engine's tables own theirs.
CodecContextPtr OpenedDecoder() {
  const AVCodec* codec = lav::avcodec_find_decoder(AV_CODEC_ID_PCM_S16LE);
  CodecContextPtr c(lav::avcodec_alloc_context3(codec));
  c->sample_rate = 8000;
  c->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
  c->ch_layout.nb_channels = 1;
  EXPECT_EQ(lav::avcodec_open2(c.get(), codec, nullptr), 0);
  return c;
}

TEST(OpenedCodecs, ClosesOneListedContextAndLeavesTheOthers) {
  test::EnsureLibrariesLoaded();
  CodecContextPtr a = OpenedDecoder(), b = OpenedDecoder(), unlisted = OpenedDecoder();
  TOpenedCodecs opened;
  opened.Add(a.get());
  opened.Add(b.get());
  opened.Close(a.get());
  EXPECT_FALSE(lav::avcodec_is_open(a.get()));
  EXPECT_TRUE(lav::avcodec_is_open(b.get()));
  EXPECT_EQ(opened.size(), 1u);
  opened.Close(a.get());  // no longer listed: nothing to close twice
  opened.Close(unlisted.get());
  EXPECT_TRUE(lav::avcodec_is_open(unlisted.get())) << "a context the list does not hold stays open";
  EXPECT_EQ(opened.size(), 1u);
}

TEST(OpenedCodecs, WhatIsStillListedIsClosedAtTheEndAndWhenTheListGoes) {
  test::EnsureLibrariesLoaded();
  CodecContextPtr a = OpenedDecoder(), b = OpenedDecoder();
  {
    TOpenedCodecs opened;
    opened.Add(a.get());
    opened.CloseAll();
    EXPECT_FALSE(lav::avcodec_is_open(a.get()));
    EXPECT_TRUE(opened.empty());
    opened.Add(b.get());
  }
  EXPECT_FALSE(lav::avcodec_is_open(b.get()));
}

}  // namespace
}  // namespace vantrel

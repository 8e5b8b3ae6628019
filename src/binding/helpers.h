// Small helpers shared by the engine, the component and the log routing.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/rational.h>
}

namespace vantrel {

// Head := S up to the first Delimiter; with Remove, S := the text after it.
// Without a Delimiter in S, Head := S and, with Remove, S becomes empty.
void ExtractToken(std::string& S, const std::string& Delimiter, bool Remove, std::string& Head);

// Size in bytes of an existing file, -1 when there is none.
int64_t FileSizeOf(const std::string& FileName);

// Sign of a - b, computed in 64 bits.
int CompareRational(AVRational a, AVRational b);
double RationalToDouble(AVRational a);
// a - b, reduced to terms of at most 2147483647 (needs the libraries loaded).
AVRational SubRational(AVRational a, AVRational b);
// The nearest fraction with terms of at most max (needs the libraries loaded).
AVRational DoubleToRational(double d, int max);

inline int ClipInt(int a, int amin, int amax) { return a < amin ? amin : a > amax ? amax : a; }

// Releases what the packet holds; a null packet is left alone.
void FreePacket(AVPacket* pkt);

}  // namespace vantrel

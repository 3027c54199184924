#pragma once
// The classic LZHUF program's coder and decoder on stdio streams (built from the peer's source when
// the shared folder has it; see cmake/LzhufPeer.cmake).

#include <cstdio>

extern "C" {
void lzhuf_classic_encode(std::FILE* in, std::FILE* out);
void lzhuf_classic_decode(std::FILE* in, std::FILE* out);
}

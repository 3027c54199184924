#pragma once
// The classic LZHUF program's coder and decoder on stdio streams, and its decoder's tree work alone
// (built from the peer's source when the shared folder has it; see cmake/LzhufPeer.cmake).

#include <cstdio>

extern "C" {
void lzhuf_classic_encode(std::FILE* in, std::FILE* out);
void lzhuf_classic_decode(std::FILE* in, std::FILE* out);
long lzhuf_classic_symbols(std::FILE* in, int* symbols, long room);
void lzhuf_classic_updates(const int* symbols, long n);
}

/* The classic LZHUF program's own Encode and Decode, called in process on stdio streams, so that
 * the benchmark and the tests can set our codec beside it without the cost of starting a process;
 * and its tree's update alone, to show what share of its decoding that takes.
 * The program's source is compiled here unchanged; only its main is renamed, its progress lines
 * are silenced (they would fill the benchmark's output, and leaving them out only makes the peer
 * faster) and the globals it expects fresh at start are set as a new process would have them. Its
 * stdio calls take no lock, as in the single-threaded program: the benchmark's process may hold
 * threads, and a lock taken for every byte read or written would slow the peer by a fifth. */
#include <stdio.h>
#include <string.h>

#define main lzhuf_classic_program_main
#define printf(...) ((void)0)
#define getc getc_unlocked
#define putc putc_unlocked
#include SONDESK_LZHUF_PEER_SOURCE
#undef putc
#undef getc
#undef printf
#undef main

static void lzhuf_classic_fresh(FILE* in, FILE* out) {
  infile = in;
  outfile = out;
  textsize = codesize = printcount = 0;
  getbuf = 0;
  getlen = 0;
  putbuf = 0;
  putlen = 0;
  memset(text_buf, 0, sizeof text_buf);
}

void lzhuf_classic_encode(FILE* in, FILE* out) {
  lzhuf_classic_fresh(in, out);
  Encode();
}

void lzhuf_classic_decode(FILE* in, FILE* out) {
  lzhuf_classic_fresh(in, out);
  Decode();
}

/* The symbols the classic decoder takes from a stream, in order (bytes 0-255, match lengths
 * 256-282), read by its own DecodeChar and DecodePosition; at most `room`. Returns how many. */
long lzhuf_classic_symbols(FILE* in, int* symbols, long room) {
  unsigned long count = 0;
  long n = 0;
  int b;
  lzhuf_classic_fresh(in, NULL);
  for (b = 0; b < 4; ++b) textsize |= (unsigned long)(fgetc(in) & 0xFF) << (8 * b);
  if (ferror(in) || textsize == 0) return 0;
  StartHuff();
  while (count < textsize && n < room) {
    const int c = DecodeChar();
    symbols[n++] = c;
    if (c < 256) {
      ++count;
    } else {
      DecodePosition();
      count += (unsigned long)(c - 255 + THRESHOLD);
    }
  }
  return n;
}

/* The classic decoder's tree work for those symbols and nothing else: a new tree, then its update
 * for every symbol, as DecodeChar does after each walk. */
void lzhuf_classic_updates(const int* symbols, long n) {
  long k;
  StartHuff();
  for (k = 0; k < n; ++k) update(symbols[k]);
}

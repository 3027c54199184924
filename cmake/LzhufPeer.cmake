# The classic LZHUF program of 1988, kept beside the source tree in the shared folder as a peer: the
# benchmarks measure the codec against it and the tests compare output with it. Built as it is
# published (with the two changes its README names) and never linked into what we ship. Without the
# file, the targets are simply not there and the benchmark and test say so when they run.
set(SONDESK_LZHUF_PEER "${PROJECT_SOURCE_DIR}/../shared/peers/lzhuf-classic/lzhuf.c"
  CACHE FILEPATH "Source of the classic LZHUF program used as a peer")
if(EXISTS "${SONDESK_LZHUF_PEER}" AND NOT TARGET lzhuf_classic)
  add_executable(lzhuf_classic "${SONDESK_LZHUF_PEER}")
  set_target_properties(lzhuf_classic PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/peers")
  target_compile_options(lzhuf_classic PRIVATE -O2 -w)
  add_library(lzhuf_classic_calls STATIC "${PROJECT_SOURCE_DIR}/bench/LzhufClassicCalls.c")
  target_compile_definitions(lzhuf_classic_calls PRIVATE SONDESK_LZHUF_PEER_SOURCE="${SONDESK_LZHUF_PEER}")
  target_compile_options(lzhuf_classic_calls PRIVATE -O2 -w)
endif()

// A PGN file through build: the games replayed into a small book of both
// colours, written to a scratch file.

#include <cstdint>

#include "book/book_tools.h"
#include "fuzz/fuzz_common.h"
#include "protocol/game.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 32768) return 0;
    fresh_engine();
    const std::string pgn = write_input_file("input.pgn", data, size);
    build_book(game, pgn.c_str(), scratch_path("output.dat").c_str(), 1000, 21, build_both_colours);
    return 0;
}

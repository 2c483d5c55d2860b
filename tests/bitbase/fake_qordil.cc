// A stand-in for the bitbase library, loaded by the tests in its place. It
// knows king and queen against king (the queen's side wins, unless the lone
// king is to move and can take an unguarded queen: then it is a draw) and
// king against king (a draw); every other position is unknown. It records
// how it was called so that the tests can check the engine's side of the
// calls. Built twice: complete, and without the probe export.

#include <cstdio>

#ifndef FAKE_WITHOUT_PROBE
namespace {

constexpr int no_result = 99999;
constexpr int won = 3000;
constexpr int white_queen = 2;
constexpr int black_queen = 8;

int distance(int a, int b) {
    const int files = a % 8 > b % 8 ? a % 8 - b % 8 : b % 8 - a % 8;
    const int ranks = a / 8 > b / 8 ? a / 8 - b / 8 : b / 8 - a / 8;
    return files > ranks ? files : ranks;
}

}  // namespace
#endif

extern "C" {

// The arguments of the last calls and the number of calls.
struct FakeCalls {
    char load_path[300];
    int load_cache_bytes;
    int load_type;
    int load_calls;
    int probe_args[9];
    int probe_calls;
};

__attribute__((visibility("default"))) FakeCalls fake_calls;

__attribute__((visibility("default"))) void load_egbb_5men(char* path, int cache_bytes,
                                                            int load_type) {
    std::snprintf(fake_calls.load_path, sizeof fake_calls.load_path, "%s", path);
    fake_calls.load_cache_bytes = cache_bytes;
    fake_calls.load_type = load_type;
    ++fake_calls.load_calls;
}

#ifndef FAKE_WITHOUT_PROBE
__attribute__((visibility("default"))) int probe_egbb_5men(int side, int white_king,
                                                           int black_king, int piece1, int square1,
                                                           int piece2, int square2, int piece3,
                                                           int square3) {
    const int args[9] = {side, white_king, black_king, piece1, square1,
                         piece2, square2, piece3, square3};
    for (int i = 0; i < 9; ++i) fake_calls.probe_args[i] = args[i];
    ++fake_calls.probe_calls;
    if (piece1 == 0) return 0;  // two kings
    if (piece2 != 0 || (piece1 != white_queen && piece1 != black_queen)) return no_result;
    const int queen_side = piece1 == white_queen ? 0 : 1;
    const int own_king = queen_side == 0 ? white_king : black_king;
    const int lone_king = queen_side == 0 ? black_king : white_king;
    if (side == queen_side) return won;
    const bool queen_hangs = distance(lone_king, square1) == 1 && distance(own_king, square1) > 1;
    return queen_hangs ? 0 : -won;
}
#endif
}

// Leaf counts of the reference positions, found twice: once trusting only
// make/unmake and `attacked`, once settling legality the way the search does.

#include <gtest/gtest.h>

#include "board/perft_util.h"

namespace {

// Depths whose counts exceed this are skipped, so the suite stays at a few
// seconds in the Release build and far less under the sanitizers.
#ifdef VELKAN_SANITIZED
constexpr uint64_t max_leaves = 60000;
#else
constexpr uint64_t max_leaves = 5500000;
#endif

class Perft : public testing::TestWithParam<perft::PerftCase> {};

TEST_P(Perft, BothLegalityRoutesMatchTheReferenceCounts) {
    const perft::PerftCase& c = GetParam();
    auto state = perft::state_from_fen(c.fen.c_str());
    const HashKey key_before = state->pos_key;
    for (const perft::DepthCount& expected : c.counts) {
        if (expected.leaves > max_leaves) continue;
        EXPECT_EQ(perft::perft_by_attack(*state, expected.depth), expected.leaves)
            << c.fen << " depth " << expected.depth << " (make and attacked)";
        EXPECT_EQ(perft::perft_like_search<true>(*state, expected.depth), expected.leaves)
            << c.fen << " depth " << expected.depth << " (evasions and leaves_king_in_check)";
    }
    EXPECT_EQ(state->pos_key, key_before);
    EXPECT_EQ(state->ply, 0);
}

INSTANTIATE_TEST_SUITE_P(Public, Perft,
                         testing::ValuesIn(perft::read_epd(VELKAN_TEST_DATA "/perft-public.epd")));
INSTANTIATE_TEST_SUITE_P(Awkward, Perft,
                         testing::ValuesIn(perft::read_epd(VELKAN_TEST_DATA "/perft-awkward.epd")));

TEST(Perft, DataFilesAreRead) {
    EXPECT_EQ(perft::read_epd(VELKAN_TEST_DATA "/perft-public.epd").size(), 21u);
    EXPECT_GE(perft::read_epd(VELKAN_TEST_DATA "/perft-awkward.epd").size(), 17u);
}

}  // namespace

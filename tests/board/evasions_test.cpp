// The check evasion and quiet check generators, compared at every node of
// the reference move trees with what generate_all, make/unmake and
// gives_check say, plus a few positions whose answers are known by heart.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/perft_util.h"

namespace {

using perft::listed_moves;
using perft::state_from_fen;
using perft::texts;
using Texts = std::vector<std::string>;

std::vector<Move> generated_by(SearchState& state, void (*generator)(SearchState&)) {
    state.ply_rec->move_count = 0;
    generator(state);
    return listed_moves(state);
}

std::vector<Move> sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

Texts sorted_texts(const std::vector<Move>& moves) {
    Texts result = texts(moves);
    std::sort(result.begin(), result.end());
    return result;
}

bool has_duplicates(const std::vector<Move>& sorted_moves) {
    return std::adjacent_find(sorted_moves.begin(), sorted_moves.end()) != sorted_moves.end();
}

bool is_plain_quiet(Move m) { return !is_capture(m) && !is_promotion(m) && !is_castling(m); }

// What the two generators should yield at one node, derived from
// generate_all: the legal moves (in check), the legal non-capturing,
// non-promoting, non-castling moves that gives_check reports as checks, and
// all pseudo-legal moves of that kind. Quiet checks are compared on their
// legal subset: gives_check also calls a king step next to the enemy king a
// check, and such a step is never legal.
struct Expected {
    std::vector<Move> legal;
    std::vector<Move> legal_quiet_checks;
    std::vector<Move> plain_quiets;
};

Expected expected_at(SearchState& state) {
    Expected expected;
    for (Move m : generated_by(state, generate_all)) {
        const bool legal = perft::is_legal_by_making(state, m);
        if (legal) expected.legal.push_back(m);
        if (!is_plain_quiet(m)) continue;
        expected.plain_quiets.push_back(m);
        int check_sq = 0;
        if (legal && gives_check(state, m, check_sq)) expected.legal_quiet_checks.push_back(m);
    }
    std::sort(expected.legal.begin(), expected.legal.end());
    std::sort(expected.legal_quiet_checks.begin(), expected.legal_quiet_checks.end());
    std::sort(expected.plain_quiets.begin(), expected.plain_quiets.end());
    return expected;
}

// Checks one node's quiet checks: each once, all plain quiet pseudo-legal
// moves, and exactly the expected ones among the legal.
bool quiet_checks_match(SearchState& state, const Expected& expected) {
    const std::vector<Move> checks = sorted(generated_by(state, generate_quiet_checks));
    if (has_duplicates(checks) ||
        !std::includes(expected.plain_quiets.begin(), expected.plain_quiets.end(),
                       checks.begin(), checks.end()))
        return false;
    std::vector<Move> legal_checks;
    for (Move m : checks)
        if (perft::is_legal_by_making(state, m)) legal_checks.push_back(m);
    return legal_checks == expected.legal_quiet_checks;
}

}  // namespace

TEST(Evasions, AgreeWithGenerateAllOverPerftTrees) {
#ifdef VELKAN_SANITIZED
    constexpr int depth = 2;
#else
    constexpr int depth = 3;
#endif
    int checked_nodes = 0;
    for (const char* file : {"/perft-public.epd", "/perft-awkward.epd"}) {
        for (const perft::PerftCase& c : perft::read_epd(std::string(VELKAN_TEST_DATA) + file)) {
            auto state = state_from_fen(c.fen.c_str());
            int failures = 0;
            perft::for_each_node(*state, depth, [&](SearchState& s) {
                const Expected expected = expected_at(s);
                bool ok = quiet_checks_match(s, expected);
                if (perft::in_check(s)) {
                    ++checked_nodes;
                    const std::vector<Move> evasions = sorted(generated_by(s, generate_evasions));
                    ok = ok && evasions == expected.legal && !has_duplicates(evasions);
                }
                if (!ok && failures++ == 0)
                    ADD_FAILURE() << c.fen << ": first mismatch after " << s.hply << " plies";
            });
            EXPECT_EQ(failures, 0) << c.fen;
        }
    }
    EXPECT_GT(checked_nodes, 500);  // the trees do exercise evasions
}

TEST(Evasions, KnownAnswers) {
    struct Case {
        const char* fen;
        Texts moves;  // sorted
    };
    const Case cases[] = {
        // Double check: king moves only.
        {"4r1k1/8/8/8/8/3n4/8/4K3 w - - 0 1", {"e1d1", "e1d2", "e1f1"}},
        // Rank check: f1 behind the king is not safe although nothing attacks it yet.
        {"7k/8/8/8/8/8/8/r3K3 w - - 0 1", {"e1d2", "e1e2", "e1f2"}},
        // A knight check is answered by capture or king move, never blocked.
        {"3rk3/8/3N4/8/8/8/8/4K3 b - - 0 1", {"d8d6", "e8d7", "e8e7", "e8f8"}},
        // The pinned rook could block on d1 but must not.
        {"4k3/8/8/8/1b6/8/3R4/r3K3 w - - 0 1", {"e1e2", "e1f2"}},
        // En passant removes the pawn that checks ...
        {"8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
         {"c5b4", "c5b5", "c5b6", "c5c4", "c5c6", "c5d4", "c5d5", "c5d6", "e4d3"}},
        // ... unless that pawn shields the king from a bishop.
        {"8/8/8/2k5/3Pp3/8/8/6BK b - d3 0 1",
         {"c5b4", "c5b5", "c5b6", "c5c4", "c5c6", "c5d5", "c5d6"}},
    };
    for (const Case& c : cases) {
        auto state = state_from_fen(c.fen);
        const std::vector<Move> evasions = generated_by(*state, generate_evasions);
        EXPECT_EQ(sorted_texts(evasions), c.moves) << c.fen;
        for (Move m : evasions) EXPECT_TRUE(perft::is_legal_by_making(*state, m)) << c.fen;
    }
}

TEST(QuietChecks, PawnPushesAndScreens) {
    // Black pawns check from E + 15 and E + 17, the latter by a double push.
    auto state = state_from_fen("7k/4p3/2p5/8/3K4/8/8/8 b - - 0 1");
    EXPECT_EQ(texts(generated_by(*state, generate_quiet_checks)), (Texts{"c6c5", "e7e5"}));

    // A bishop screening its rook from the king: every quiet move checks.
    state = state_from_fen("4k3/8/8/8/4B3/8/8/4RK2 w - - 0 1");
    Texts bishop_quiets;
    for (Move m : generated_by(*state, generate_quiets))
        if (move_from(m) == make_square(4, 3)) bishop_quiets.push_back(perft::move_text(m));
    EXPECT_EQ(bishop_quiets.size(), 13u);
    EXPECT_EQ(texts(generated_by(*state, generate_quiet_checks)), bishop_quiets);

    // A pawn screening on the king's file discovers nothing by advancing.
    state = state_from_fen("4k3/8/8/8/4P3/8/8/4RK2 w - - 0 1");
    EXPECT_TRUE(generated_by(*state, generate_quiet_checks).empty());
}

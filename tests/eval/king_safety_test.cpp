// King safety on small positions worked out by hand: the attack count on
// the king's neighbours, the shelter and storm terms, the attacker mix and
// the danger flag. The tropism input is 0 so the figures stand alone.

#include "eval_fixture.h"

namespace {

SearchState state;
EvalParams params{};

// Runs the frame's steps up to the piece visit, then scores one king.
int king_danger_of(const char* fen, int colour, bool& flagged) {
    set_fen(state, fen);
    visit_pieces_of(state, params);
    const int danger = score_king_safety(state, colour, 0);
    flagged = (state.ply_rec->eval_flags & (colour == white ? white_king_danger : black_king_danger)) != 0;
    return danger;
}

struct Case {
    const char* fen;
    int danger;
    bool flagged;
    const char* why;
};

void expect_cases(const Case* begin, const Case* end, int colour) {
    for (const Case* c = begin; c != end; ++c) {
        bool flagged = false;
        EXPECT_EQ(king_danger_of(c->fen, colour, flagged), c->danger) << c->why;
        EXPECT_EQ(flagged, c->flagged) << c->why;
    }
}

}  // namespace

using KingSafety = EvalTest;

// Black has 17 or more units, so the shelter counts; the queen on c8 is
// the only attacker of the zone, which halves the (zero) attack count.
TEST_F(KingSafety, ShelterStormAndOpenFiles) {
    const Case cases[] = {
        {"rnq3k1/8/8/8/8/8/5PPP/6K1 w - - 0 1", -63, false, "f2 g2 h2: 2 + 4 + 3 = 9 points"},
        {"rnq3k1/8/8/8/8/6P1/5PBP/6K1 w - - 0 1", -42, false,
         "fianchetto: 2 + 2 + 3, no f3 pawn -2, bishop g2 +1"},
        {"rnq3k1/8/8/8/8/8/5P1P/6K1 w - - 0 1", 0, false,
         "g-pawn gone: 2 + 3 - 2 = 3 points (-21), open g-file +20, gap count 3 halved to 1"},
        {"rnq5/1k6/8/7p/6p1/8/5PPP/6K1 w - - 0 1", -7, false,
         "storm on distant wings: g4 8 * 4, h5 8 * 3, against -63"},
        {"rnq5/1k6/8/8/8/6p1/5PPP/6K1 w - - 0 1", -12, false,
         "g3 storms (+40) and hits f2 and h2: count 4, three quarters of it with only a pawn in the zone"},
        {"rnq5/3k4/8/7p/6p1/8/5PPP/6K1 w - - 0 1", -7, false, "kings three files apart: a storm"},
        {"rnq5/4k3/8/7p/6p1/8/5PPP/6K1 w - - 0 1", -63, false, "kings two files apart: no storm"},
    };
    expect_cases(std::begin(cases), std::end(cases), white);
}

// Black has 20 or more units with a rook or minor in the zone, so the
// count stands unscaled; the e1 king adds 3 for its file, and black pawns
// on d7, e7, f7 close the files.
TEST_F(KingSafety, NeighbourAttackCounts) {
    const Case cases[] = {
        {"nn2k3/3ppp2/8/8/7q/r7/8/4K3 w - - 0 1", 45, false, "f2 by the queen alone, king-only defence: 3 + 3"},
        {"nn2k3/3ppp2/8/8/6nq/r7/8/4K3 w - - 0 1", 80, false, "f2 by queen and knight: 5 + 3"},
        {"q3k3/3ppp2/nn6/8/8/8/7r/4K3 w - - 0 1", 180, true, "d2 e2 f2 by a rook: 3 each + 3"},
    };
    expect_cases(std::begin(cases), std::end(cases), white);
}

// With 10 to 14 units only the halved attack count is left.
TEST_F(KingSafety, LittleMaterialHalvesTheAttack) {
    const Case cases[] = {
        {"4k3/3ppp2/8/8/7q/r7/8/4K3 w - - 0 1", 1, false, "count 3 halved"},
        {"4k3/3ppp2/8/8/7q/r7/5PPP/6K1 w - - 0 1", 11, false,
         "queen hits f2 and h2: 6 halved to 3; no shelter term with 14 units"},
    };
    expect_cases(std::begin(cases), std::end(cases), white);
}

TEST_F(KingSafety, BlackKingMirrorsWhite) {
    const Case cases[] = {
        {"6k1/5ppp/8/8/8/8/8/RNQ3K1 b - - 0 1", -63, false, "f7 g7 h7"},
        {"4k3/7R/8/8/8/NN6/3PPP2/Q3K3 b - - 0 1", 180, true, "d7 e7 f7 by a rook"},
    };
    expect_cases(std::begin(cases), std::end(cases), black);
}

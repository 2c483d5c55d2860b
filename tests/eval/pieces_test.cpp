// Piece activity: the attack maps the piece visit leaves behind (x-rays,
// unit sizes) and its direct terms on small positions.

#include "eval/terms.h"
#include "eval_fixture.h"

namespace {

SearchState state;
EvalParams params{};

// Runs the frame's steps up to the piece visit on the position held.
PieceSums visit_pieces() { return visit_pieces_of(state, params); }

PieceSums pieces_of(const char* fen) {
    set_fen(state, fen);
    return visit_pieces();
}

int attacks_on(int colour, int f, int r) { return state.eval.attack_map[colour][make_square(f, r)]; }

}  // namespace

using Pieces = EvalTest;

TEST_F(Pieces, QueenXraysCountAsTheClassSheSeesThrough) {
    // Queen a1 behind a bishop on b2 and a rook on a2.
    pieces_of("4k3/8/8/8/8/8/RB6/Q6K w - - 0 1");
    EXPECT_EQ(attacks_on(white, 3, 3), 16 + 4);      // d4: bishop, queen through it
    EXPECT_EQ(attacks_on(white, 0, 4), 4 + 4);       // a5: rook, queen through it
    EXPECT_EQ(attacks_on(white, 0, 2), 16 + 4 + 4);  // a3: bishop, rook, queen
    EXPECT_EQ(attacks_on(white, 1, 0), 2);           // b1: the queen alone
}

TEST_F(Pieces, PinsAndSkewersCostTheShieldingSide) {
    const struct {
        const char* fen;
        int black_score;
    } cases[] = {
        {"4k3/8/2n5/1B6/8/8/8/4K3 w - - 0 1", -20},   // knight c6 pinned to the king
        {"4q2k/8/2n5/1B6/8/8/8/4K3 w - - 0 1", -20},  // ... to the queen
        {"4k3/8/2b5/1B6/8/8/8/4K3 w - - 0 1", 0},     // a bishop is not shielding
        {"4k3/3p4/2n5/1B6/8/8/8/4K3 w - - 0 1", 0},   // a pawn stands between
        {"4k3/8/8/8/8/8/4b3/4R1K1 w - - 0 1", -20},   // rook e1, bishop e2, king e8
        {"4k3/8/8/8/4r3/8/8/4Q1K1 w - - 0 1", 0},     // a queen pins a rook only diagonally
    };
    for (const auto& c : cases) EXPECT_EQ(pieces_of(c.fen).score[black], c.black_score) << c.fen;
}

TEST_F(Pieces, OutpostsByEnemyPawnsAheadAndOwnSupport) {
    const struct {
        const char* fen;
        int white_score;
    } cases[] = {
        {"4k3/8/8/3N4/2P1P3/8/8/4K3 w - - 0 1", 2 * 15 + 15 + 15},  // two defenders
        {"4k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", 2 * 15 + 15},
        {"4k3/3p4/8/3N4/2P1P3/8/8/4K3 w - - 0 1", 2 * 15 + 15},      // pawn on its own file
        {"4k3/4p3/8/3N4/2P1P3/8/8/4K3 w - - 0 1", 15},               // can be chased away
        {"4k3/8/8/3B4/2P1P3/8/8/4K3 w - - 0 1", 2 * 7 + 7 + 7},      // bishops at half
        {"4k3/8/8/8/8/3N4/8/4K3 w - - 0 1", 0},                      // third rank: none
    };
    for (const auto& c : cases) EXPECT_EQ(pieces_of(c.fen).score[white], c.white_score) << c.fen;
}

TEST_F(Pieces, MobilityWeighsSquaresAndSafety) {
    // Knight d4: eight targets of weight 2 or 3, all 20, all safe.
    EXPECT_EQ(pieces_of("4k3/8/8/8/3N4/8/8/4K3 w - - 0 1").mobility[white], (20 + 2 * 20) / 4);
    // A black pawn on g6 makes f5 (weight 3) unsafe.
    EXPECT_EQ(pieces_of("4k3/8/6p1/8/3N4/8/8/4K3 w - - 0 1").mobility[white], (20 + 2 * 17) / 4);
    // Knight a8: c7 is taken and b6 covered by that pawn; no safe square on
    // the last rank costs 5 * 7 + 5.
    EXPECT_EQ(pieces_of("N3k3/2p5/8/8/8/8/8/4K3 w - - 0 1").mobility[white], 2 / 4 - 40);
}

TEST_F(Pieces, RookFilesRanksAndConnection) {
    // Two rooks on open files that see each other: the later one is connected.
    PieceSums sums = pieces_of("4k3/8/8/8/8/8/8/R3R1K1 w - - 0 1");
    EXPECT_EQ(sums.open_files[white], 4);
    EXPECT_EQ(sums.score[white], 10);
    // A bishop between them: no connection.
    EXPECT_EQ(pieces_of("4k3/8/8/8/8/8/8/R1B1R1K1 w - - 0 1").score[white], 0);
    // Half-open (only enemy pawns) counts 1; own pawns only, nothing.
    EXPECT_EQ(pieces_of("4k3/p7/8/8/8/8/7P/R5K1 w - - 0 1").open_files[white], 1);
    EXPECT_EQ(pieces_of("4k3/8/8/8/8/8/P7/R5K1 w - - 0 1").open_files[white], 0);
    // Seventh rank with the king on the back rank; not with the king out.
    EXPECT_EQ(pieces_of("4k3/R7/8/8/8/8/8/6K1 w - - 0 1").seventh[white], 2);
    EXPECT_EQ(pieces_of("8/R7/4k3/8/8/8/8/6K1 w - - 0 1").seventh[white], 0);
    // ... but enemy pawns on their home rank make it count again.
    EXPECT_EQ(pieces_of("8/R6p/4k3/8/8/8/8/6K1 w - - 0 1").seventh[white], 2);
    // Endgame: a rook on the rank of the enemy's rearmost pawn row.
    EXPECT_EQ(pieces_of("8/8/R6p/4k3/8/8/8/6K1 w - - 0 1").score[white], 20);
    // Behind an own passer, and behind an enemy passer.
    EXPECT_EQ(pieces_of("4k3/8/8/8/P7/8/8/R5K1 w - - 0 1").score[white], 20);
    EXPECT_EQ(pieces_of("R7/5k2/8/8/p7/8/8/6K1 w - - 0 1").score[white], 20);
    EXPECT_EQ(pieces_of("4k3/8/8/8/8/8/8/R5K1 w - - 0 1").score[white], 0);
}

TEST_F(Pieces, KingsMarkTheirNeighbourhoodLast) {
    pieces_of("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    for (const int sq : {sq_d1, sq_f1, sq_d1 + 16, sq_e1 + 16, sq_f1 + 16})
        EXPECT_EQ(state.eval.attack_map[white][sq], 1);
    EXPECT_EQ(state.eval.attack_map[white][sq_e1], 0);
    EXPECT_EQ(state.eval.attack_map[black][sq_e8 - 16], 1);
}

// Every sum and every attack count of a position must reappear, colours
// swapped, in its mirror. Positions with rooks and queens on the seventh
// rank, passers, pins and x-rays on both sides.
TEST_F(Pieces, MirrorSwapsEverySumAndAttackCount) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "1r4k1/R4ppp/8/3p4/1P6/4N3/1q3PPP/6K1 w - - 0 1",
        "8/1R3p2/5k2/2p5/2P5/3K4/6r1/8 b - - 0 1",
        "2r1r1k1/pp1b1ppp/2nq4/1B1p4/3P1B2/2N5/PP3PPP/R2QR1K1 w - - 0 1",
        "6k1/p4pQ1/1p4p1/8/8/1P4P1/P1q2P2/6K1 w - - 0 1",
        "4k3/8/2n5/1B2N3/3p4/P7/1r6/Q5RK w - - 0 1",
    };
    for (const char* fen : fens) {
        const PieceSums original = pieces_of(fen);
        uint8_t maps[2][128];
        for (int c = white; c <= black; ++c)
            for (int sq = 0; sq < 128; ++sq) maps[c][sq] = state.eval.attack_map[c][sq];
        mirror_board(state);
        const PieceSums mirrored = visit_pieces();
        for (int c = white; c <= black; ++c) {
            EXPECT_EQ(original.score[c], mirrored.score[1 - c]) << fen;
            EXPECT_EQ(original.mobility[c], mirrored.mobility[1 - c]) << fen;
            EXPECT_EQ(original.tropism[c], mirrored.tropism[1 - c]) << fen;
            EXPECT_EQ(original.seventh[c], mirrored.seventh[1 - c]) << fen;
            EXPECT_EQ(original.open_files[c], mirrored.open_files[1 - c]) << fen;
            for (int sq = 0; sq < 128; ++sq) {
                if (!on_board(sq)) continue;
                EXPECT_EQ(maps[c][sq], state.eval.attack_map[1 - c][sq ^ 0x70]) << fen;
            }
        }
    }
}

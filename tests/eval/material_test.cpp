// Material balance, drawishness scales and the endings against a bare king.

#include "eval/terms.h"
#include "eval_fixture.h"

namespace {

SearchState state;

struct MaterialResult {
    bool recognised;
    int score;  // white's view
    int scale[2];
};

MaterialResult material_of(const char* fen) {
    set_fen(state, fen);
    MaterialResult result{false, 0, {full_scale, full_scale}};
    result.recognised = score_material(state, result.scale, result.score);
    return result;
}

}  // namespace

using Material = EvalTest;

TEST_F(Material, TwoKnightsCannotMate) {
    const MaterialResult knights = material_of("8/8/8/4k3/8/8/8/KNN5 w - - 0 1");
    EXPECT_TRUE(knights.recognised);
    EXPECT_EQ(knights.score, 0);
    EXPECT_EQ(evaluate(state, eval_full), 10);  // only the tempo of the side with pieces
    set_fen(state, "8/8/8/4k3/8/8/8/KNN5 b - - 0 1");
    EXPECT_EQ(evaluate(state, eval_full), 0);
}

TEST_F(Material, BishopAndKnightDriveTheKingToTheBishopsCorner) {
    // Light bishop (f1): the light corner a8 is better for white than a1,
    // although the defending king is further from white's king there.
    const MaterialResult light_a8 = material_of("k7/8/8/8/8/2K5/4N3/5B2 b - - 0 1");
    const MaterialResult light_a1 = material_of("8/8/8/8/8/2K5/4N3/k4B2 b - - 0 1");
    ASSERT_TRUE(light_a8.recognised && light_a1.recognised);
    EXPECT_GT(light_a8.score, light_a1.score);
    // Dark bishop (e1): the other way round.
    const MaterialResult dark_a8 = material_of("k7/8/8/8/8/2K5/4N3/4B3 b - - 0 1");
    const MaterialResult dark_a1 = material_of("8/8/8/8/8/2K5/4N3/k3B3 b - - 0 1");
    EXPECT_GT(dark_a1.score, dark_a8.score);
    // The same ending for black is the exact negation of its mirror.
    const MaterialResult black_side = material_of("K3b3/4n3/2k5/8/8/8/8/8 w - - 0 1");
    EXPECT_EQ(black_side.score, -dark_a1.score);
}

TEST_F(Material, RookPawnWithTheWrongBishopIsADraw) {
    // Dark bishop, a-pawn, defender in the light queening corner.
    EXPECT_EQ(evaluate_fen(state, "k7/8/8/P7/8/8/8/K1B5 w - - 0 1"), 0);
    EXPECT_EQ(evaluate_fen(state, "k7/8/8/P7/8/8/8/K1B5 b - - 0 1"), 0);
    // The right bishop, or a black pawn on the b-file that can be won or
    // used to deflect the king, keeps the advantage.
    EXPECT_GT(evaluate_fen(state, "k7/8/8/P7/8/8/8/KB6 w - - 0 1"), 0);
    EXPECT_GT(evaluate_fen(state, "k7/8/1p6/P7/8/8/8/K1B5 w - - 0 1"), 0);
    // Bare rook pawns of either colour with the king in front of them.
    EXPECT_EQ(material_of("7k/8/8/8/8/8/7P/K7 w - - 0 1").scale[white], 0);
    EXPECT_EQ(material_of("k7/7p/8/8/8/8/8/7K w - - 0 1").scale[black], 0);
    // Away from the corner only the single-pawn rule applies.
    EXPECT_EQ(material_of("k7/7p/8/8/8/8/8/K7 w - - 0 1").scale[black], full_scale / 4);
}

TEST_F(Material, OppositeBishopsAndPawnlessScales) {
    EXPECT_EQ(material_of("4k2r/5ppp/8/2b5/8/8/PPP1B3/3RK3 w - - 0 1").scale[white], 6);
    EXPECT_EQ(material_of("4k2r/5ppp/8/2b5/8/8/PPP1B3/3RK3 w - - 0 1").scale[black], 6);
    const MaterialResult alone = material_of("4k3/5ppp/8/2b5/8/8/PPP1B3/4K3 w - - 0 1");
    EXPECT_EQ(alone.scale[white], 4);
    EXPECT_EQ(alone.scale[black], 4);
    // Only the side with at least as many pawns is scaled down.
    const MaterialResult fewer = material_of("4k3/6pp/8/2b5/8/8/PPP1B3/4K3 w - - 0 1");
    EXPECT_EQ(fewer.scale[white], 4);
    EXPECT_EQ(fewer.scale[black], full_scale);
    // Bishops of one colour are not drawish.
    EXPECT_EQ(material_of("4k3/5ppp/2b5/8/8/8/PPP1B3/4K3 w - - 0 1").scale[white], full_scale);
    // Two bishops against a knight keep half, a rook against a bishop an eighth.
    EXPECT_EQ(material_of("4k3/8/4n3/8/8/8/8/2B1KB2 w - - 0 1").scale[white], 4);
    EXPECT_EQ(material_of("4k3/8/4b3/8/8/8/8/3RK3 w - - 0 1").scale[white], 1);
}

TEST_F(Material, ImbalanceQueenAndBishopPairBonuses) {
    for (EvalParams& set : eval_param_sets) {
        set.exchange_scale = 100;  // 75 per step
        set.bishop_pair_scale = 60;
    }
    const struct {
        const char* fen;
        int bonus;  // white's view, beyond the piece-square balance
    } cases[] = {
        {"4k1n1/pppp4/8/8/8/8/PPPP4/R3K1N1 w - - 0 1", 300},  // a rook ahead
        {"4k1n1/pppp4/8/8/8/8/PPPP4/2B1K1N1 w - - 0 1", 150}, // a minor ahead with pawns
        {"4k1n1/pppp4/8/8/8/8/P7/2B1K1N1 w - - 0 1", 0},      // ... but one pawn
        {"4k2r/pppp4/8/8/8/8/PPPP4/2B1K1N1 w - - 0 1", 112},  // two minors for a rook
        {"2b1k1n1/pppp4/8/8/8/8/PPPP4/2B1KB2 w - - 0 1", 40}, // bishop pair against B+N
        {"3qk3/pppp4/8/8/8/8/PPPP4/3QK3 w - - 0 1", 0},       // queen bonuses cancel
    };
    for (const auto& c : cases) {
        const MaterialResult result = material_of(c.fen);
        EXPECT_FALSE(result.recognised) << c.fen;
        EXPECT_EQ(result.score - (state.psq_sum[white] - state.psq_sum[black]), c.bonus) << c.fen;
    }
}

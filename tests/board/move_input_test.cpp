#include <gtest/gtest.h>

#include <string>

#include "board/move_input.h"
#include "board/notation.h"

namespace {

struct AttackTableReady {
    AttackTableReady() { init_attack_table(); }
};
const AttackTableReady attack_table_ready;

constexpr int at(const char* text) { return make_square(text[0] - 'a', text[1] - '1'); }

SearchState& position(const char* fen) {
    static SearchState state;
    set_fen(state, fen);
    return state;
}

// The SAN text read in the given position, or 0 when it matches nothing.
Move san(const char* fen, const char* text) {
    std::string copy = text;
    Move m = 0;
    return san_to_move(position(fen), copy.data(), m) ? m : 0;
}

// The coordinate text completed in the given position, or 0 when rejected.
Move typed(const char* fen, const char* text) {
    std::string copy = text;
    Move m = text_to_move(copy.data());
    return complete_user_move(position(fen), m) ? m : 0;
}

int legal_move_lines(const char* fen) {
    SearchState& state = position(fen);
    testing::internal::CaptureStdout();
    show_legal_moves(state);
    const std::string out = testing::internal::GetCapturedStdout();
    int lines = 0;
    for (char c : out) lines += c == '\n';
    return lines;
}

constexpr const char* castling_fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
constexpr const char* promotion_fen = "k7/4P3/8/8/8/8/8/4K3 w - - 0 1";
constexpr const char* pinned_knight_fen = "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1";

}  // namespace

TEST(SanToMove, CastlingForms) {
    for (const char* text : {"O-O", "o-o", "0-0", "O-O+"})
        EXPECT_EQ(san(castling_fen, text), white_castle_short) << text;
    for (const char* text : {"O-O-O", "o-o-o", "0-0-0"})
        EXPECT_EQ(san(castling_fen, text), white_castle_long) << text;
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "O-O"), black_castle_short);
    EXPECT_EQ(san("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "O-O-O"), black_castle_long);
    // A king move to g1 is not castling, and castling text is not a king move.
    EXPECT_EQ(san(castling_fen, "Kg1"), 0u);
    const char* king_on_f1 = "r3k2r/8/8/8/8/8/8/R4K1R w kq - 0 1";
    EXPECT_EQ(san(king_on_f1, "Kg1"), make_move_word(at("f1"), at("g1"), white_king));
    EXPECT_EQ(san(king_on_f1, "O-O"), 0u);
}

TEST(SanToMove, DisambiguationAndCaptures) {
    const char* knights = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
    EXPECT_EQ(move_from(san(knights, "Nbd2")), at("b1"));
    EXPECT_EQ(move_from(san(knights, "Nfd2")), at("f3"));
    const char* rooks = "k7/8/8/8/8/4R3/8/4R2K w - - 0 1";
    EXPECT_EQ(move_from(san(rooks, "R1e2")), at("e1"));
    EXPECT_EQ(move_from(san(rooks, "R3e2")), at("e3"));
    EXPECT_EQ(move_from(san(rooks, "Re1e2")), at("e1"));
    const char* pawns = "4k3/8/8/3p4/2P1P3/8/8/4K3 w - - 0 1";
    EXPECT_EQ(san(pawns, "exd5"), make_move_word(at("e4"), at("d5"), white_pawn, black_pawn));
    EXPECT_EQ(move_from(san(pawns, "cxd5")), at("c4"));
    EXPECT_EQ(san(pawns, "e5"), make_move_word(at("e4"), at("e5"), white_pawn));
    // Of two knights that reach c3 only the unpinned one qualifies.
    EXPECT_EQ(move_from(san("4k3/4r3/8/8/8/8/4N3/1N2K3 w - - 0 1", "Nc3")), at("b1"));
}

TEST(SanToMove, PromotionsAndMarks) {
    const Move queen_promotion = make_move_word(at("e7"), at("e8"), white_pawn, 0, white_queen);
    EXPECT_EQ(san(promotion_fen, "e8=Q"), queen_promotion);
    EXPECT_EQ(san(promotion_fen, "e8=q"), queen_promotion);
    EXPECT_EQ(san(promotion_fen, "e8Q"), queen_promotion);
    EXPECT_EQ(san(promotion_fen, "e8=Q+"), queen_promotion);
    EXPECT_EQ(move_promote(san(promotion_fen, "e8=N")), white_knight);
    EXPECT_EQ(san(promotion_fen, "e8=K"), 0u);
    EXPECT_EQ(san(promotion_fen, "e8="), 0u);

    const char* scholar = "r1bqkbnr/pppp1ppp/2n5/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 2 4";
    EXPECT_EQ(san(scholar, "Qxf7#"), make_move_word(at("h5"), at("f7"), white_queen, black_pawn));
    EXPECT_EQ(san(start_fen, "Nf3+"), make_move_word(at("g1"), at("f3"), white_knight));
}

TEST(SanToMove, RejectsWhatMatchesNothing) {
    for (const char* text : {"", "e", "Nf9", "Qd4", "e5", "Ke2", "xx", "Zf3"})
        EXPECT_EQ(san(start_fen, text), 0u) << text;
    EXPECT_EQ(san(pinned_knight_fen, "Nc3"), 0u);
}

TEST(CompleteUserMove, PromotionsNeedTheirLetter) {
    const Move queen_promotion = make_move_word(at("e7"), at("e8"), white_pawn, 0, white_queen);
    EXPECT_EQ(typed(promotion_fen, "e7e8q"), queen_promotion);
    EXPECT_EQ(typed(promotion_fen, "E7E8Q"), queen_promotion);
    EXPECT_EQ(move_promote(typed(promotion_fen, "e7e8n")), white_knight);
    EXPECT_EQ(typed(promotion_fen, "e7e8"), 0u);
    EXPECT_EQ(typed("4k3/8/8/8/8/8/3p4/K7 b - - 0 1", "d2d1q"),
              make_move_word(at("d2"), at("d1"), black_pawn, 0, black_queen));
}

TEST(CompleteUserMove, TakesFlagsFromTheGeneratedMove) {
    EXPECT_EQ(typed("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQK2R w KQkq - 0 1", "e1g1"),
              white_castle_short);
    const Move ep = typed("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6");
    EXPECT_TRUE(is_en_passant(ep));
    EXPECT_EQ(move_capture(ep), black_pawn);
}

TEST(CompleteUserMove, RejectsIllegalMoves) {
    EXPECT_EQ(typed(start_fen, "e2e5"), 0u);
    EXPECT_EQ(typed(start_fen, "e7e5"), 0u);      // the other side's pawn
    EXPECT_EQ(typed(start_fen, "hello"), 0u);
    EXPECT_EQ(typed(pinned_knight_fen, "e2c3"), 0u);
    EXPECT_EQ(typed(pinned_knight_fen, "e1e2"), 0u);
    EXPECT_NE(typed(pinned_knight_fen, "e1d1"), 0u);

    // With the history full no further move can be made or accepted.
    SearchState& state = position(start_fen);
    state.hply = max_history;
    char text[] = "e2e4";
    Move m = text_to_move(text);
    EXPECT_EQ(complete_user_move(state, m), 0);
}

TEST(ShowLegalMoves, PrintsOnlyLegalMovesOnePerLine) {
    EXPECT_EQ(legal_move_lines(start_fen), 20);
    // The pinned knight has no legal move; the king has four.
    EXPECT_EQ(legal_move_lines(pinned_knight_fen), 4);
}

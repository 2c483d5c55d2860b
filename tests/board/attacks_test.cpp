// Attack detection, pins and the legality tests for moves that did not come
// from a generator, on small hand-made positions.

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/notation.h"
#include "board/board_fixture.h"

TEST(Attacked, KingsPawnsAndBlockedLines) {
    const SearchState& s = board_of("4k3/8/8/3p4/8/8/1R6/4K3 w - - 0 1");
    // The king covers all eight neighbours, occupied or not.
    for (const char* name : {"d1", "d2", "e2", "f2", "f1"}) EXPECT_EQ(attacked(s, white, sq(name)), 1) << name;
    EXPECT_EQ(attacked(s, white, sq("e3")), 0);
    // A pawn attacks its forward diagonals only, never the square ahead.
    EXPECT_EQ(attacked(s, black, sq("c4")), 1);
    EXPECT_EQ(attacked(s, black, sq("e4")), 1);
    EXPECT_EQ(attacked(s, black, sq("d4")), 0);
    EXPECT_EQ(attacked(s, black, sq("c6")), 0);
    // Rook on b2: along the file up to b8 and along the rank up to the king.
    EXPECT_EQ(attacked(s, white, sq("b8")), 1);
    EXPECT_EQ(attacked(s, white, sq("h2")), 1);
    EXPECT_EQ(attacked(s, white, sq("c3")), 0);
    // Colours other than white and black attack nothing.
    EXPECT_EQ(attacked(s, 2, sq("d1")), 0);
}

TEST(Attacked, SlidersStopAtTheFirstManOfEitherColour) {
    // Rank 4: white rook a4, black knight d4, white knight f4, black queen h4.
    const SearchState& s = board_of("k7/8/8/8/R2n1N1q/8/8/K7 w - - 0 1");
    EXPECT_EQ(attacked(s, white, sq("d4")), 1);  // the target may hold a man
    EXPECT_EQ(attacked(s, white, sq("e4")), 0);  // behind an enemy man
    EXPECT_EQ(attacked(s, black, sq("f4")), 1);
    EXPECT_EQ(attacked(s, black, sq("e4")), 0);  // behind an enemy man
    EXPECT_EQ(attacked(s, black, sq("c4")), 0);  // behind its own knight too
}

TEST(LineBlocked, EmptyLinesOnly) {
    const SearchState& s = board_of("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
    EXPECT_EQ(line_blocked(s, sq("a1"), sq("h8")), 0);
    EXPECT_EQ(line_blocked(s, sq("e1"), sq("e8")), 1);  // pawn on e2
    EXPECT_EQ(line_blocked(s, sq("e2"), sq("e8")), 0);  // ends may be occupied
    EXPECT_EQ(line_blocked(s, sq("d1"), sq("e1")), 0);  // adjacent
    EXPECT_EQ(line_blocked(s, sq("g1"), sq("f3")), 1);  // no common line
}

TEST(PinDirection, OnlyAgainstTheKingByAMatchingSlider) {
    EXPECT_EQ(pin_direction(board_of("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1"), sq("e2"), white), 16);
    EXPECT_EQ(pin_direction(board_of("4k3/4b3/8/8/8/8/4N3/4K3 w - - 0 1"), sq("e2"), white), 0);
    EXPECT_EQ(pin_direction(board_of("4k3/4r3/8/8/4P3/8/4N3/4K3 w - - 0 1"), sq("e2"), white), 0);
    EXPECT_EQ(pin_direction(board_of("4k3/8/8/8/8/8/2q5/K7 w - - 0 1"), sq("b2"), white), 0);
    EXPECT_EQ(pin_direction(board_of("4k3/8/8/8/8/2q5/1B6/K7 w - - 0 1"), sq("b2"), white), 17);
    // An enemy man can stand on the pin line too (an en-passant victim).
    EXPECT_EQ(pin_direction(board_of("4k3/8/8/K2p3r/8/8/8/8 w - - 0 1"), sq("d5"), white), 1);
}

TEST(LeavesKingInCheck, PinsAndEnPassantLines) {
    const SearchState& pinned_knight = board_of("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    for (const char* to : {"c1", "c3", "d4", "f4", "g3", "g1"})
        EXPECT_EQ(leaves_king_in_check(pinned_knight, make_move_word(sq("e2"), sq(to), white_knight)), 1) << to;
    EXPECT_EQ(leaves_king_in_check(pinned_knight, make_move_word(sq("e1"), sq("d2"), white_king)), 0);
    EXPECT_EQ(leaves_king_in_check(pinned_knight, make_move_word(sq("e1"), sq("f2"), white_king)), 0);

    const SearchState& pinned_rook = board_of("4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1");
    EXPECT_EQ(leaves_king_in_check(pinned_rook, make_move_word(sq("e2"), sq("e5"), white_rook)), 0);
    EXPECT_EQ(leaves_king_in_check(pinned_rook, make_move_word(sq("e2"), sq("e7"), white_rook, black_rook)), 0);
    EXPECT_EQ(leaves_king_in_check(pinned_rook, make_move_word(sq("e2"), sq("d2"), white_rook)), 1);

    const SearchState& into = board_of("3rk3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(leaves_king_in_check(into, make_move_word(sq("e1"), sq("d2"), white_king)), 1);
    EXPECT_EQ(leaves_king_in_check(into, make_move_word(sq("e1"), sq("f2"), white_king)), 0);

    const Move ep = make_move_word(sq("e5"), sq("d6"), white_pawn, black_pawn, 0, ep_flag);
    // Both pawns leave the king's rank: the rook behind them then checks.
    EXPECT_EQ(leaves_king_in_check(board_of("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1"), ep), 1);
    EXPECT_EQ(leaves_king_in_check(board_of("8/8/8/r2pP2K/8/8/8/7k w - d6 0 1"), ep), 1);
    EXPECT_EQ(leaves_king_in_check(board_of("8/8/8/K1NpP2r/8/8/8/7k w - d6 0 1"), ep), 0);
    // The captured pawn shielded the king on a diagonal.
    EXPECT_EQ(leaves_king_in_check(board_of("7k/5B2/8/3pP3/2K5/8/8/8 w - d6 0 1"), ep), 0);
    EXPECT_EQ(leaves_king_in_check(board_of("7k/5b2/8/3pP3/2K5/8/8/8 w - d6 0 1"), ep), 1);
}

TEST(IsMoveValid, RefusesWordsThatDoNotFitThePosition) {
    const SearchState& start = board_of(start_fen);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("g1"), sq("f3"), white_knight)), 1);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("g1"), sq("f3"), white_bishop)), 0);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("f3"), sq("g1"), white_knight)), 0);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("g8"), sq("f6"), black_knight)), 0);  // not to move
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("e2"), sq("e4"), white_pawn)), 1);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("e2"), sq("e5"), white_pawn)), 0);
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("c1"), sq("e3"), white_bishop)), 0);  // path
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("a1"), sq("a2"), white_rook)), 0);    // own man
    EXPECT_EQ(is_move_valid(start, make_move_word(sq("e2"), sq("e2"), white_pawn)), 0);
    EXPECT_EQ(is_move_valid(start, make_move_word(8, sq("e4"), white_pawn)), 0);  // off the board
    EXPECT_EQ(is_move_valid(start, 0), 0);

    const SearchState& cap = board_of("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(is_move_valid(cap, make_move_word(sq("e4"), sq("d5"), white_pawn, black_pawn)), 1);
    EXPECT_EQ(is_move_valid(cap, make_move_word(sq("e4"), sq("d5"), white_pawn, black_knight)), 0);
    EXPECT_EQ(is_move_valid(cap, make_move_word(sq("e4"), sq("e5"), white_pawn)), 1);
    EXPECT_EQ(is_move_valid(cap, make_move_word(sq("e4"), sq("f5"), white_pawn, black_pawn)), 0);
    EXPECT_EQ(is_move_valid(cap, make_move_word(sq("e4"), sq("e6"), white_pawn)), 0);  // not from rank 2
    const SearchState& black_pawns = board_of("4k3/8/2p5/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(is_move_valid(black_pawns, make_move_word(sq("c6"), sq("c4"), black_pawn)), 0);

    const Move ep = make_move_word(sq("e5"), sq("d6"), white_pawn, black_pawn, 0, ep_flag);
    EXPECT_EQ(is_move_valid(board_of("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"), ep), 1);
    EXPECT_EQ(is_move_valid(board_of("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"), ep), 0);
    EXPECT_EQ(is_move_valid(board_of("4k3/8/8/3pPp2/8/8/8/4K3 w - f6 0 1"), ep), 0);

    // A pawn reaching the last rank must promote, and only to its own men.
    const SearchState& promo = board_of("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(is_move_valid(promo, make_move_word(sq("a7"), sq("a8"), white_pawn, 0, white_queen)), 1);
    EXPECT_EQ(is_move_valid(promo, make_move_word(sq("a7"), sq("a8"), white_pawn)), 0);
    EXPECT_EQ(is_move_valid(promo, make_move_word(sq("a7"), sq("a8"), white_pawn, 0, black_queen)), 0);
    EXPECT_EQ(is_move_valid(promo, make_move_word(sq("a7"), sq("a8"), white_pawn, 0, white_king)), 0);
    EXPECT_EQ(is_move_valid(promo, make_move_word(sq("e1"), sq("e2"), white_king, 0, white_queen)), 0);
}

TEST(IsMoveValid, CastlingNeedsRightsEmptyPathAndSafeSquares) {
    const SearchState& open = board_of("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_EQ(is_move_valid(open, white_castle_short), 1);
    EXPECT_EQ(is_move_valid(open, white_castle_long), 1);
    EXPECT_EQ(is_move_valid(open, black_castle_short), 0);  // not black's turn
    EXPECT_EQ(is_move_valid(board_of("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1"), white_castle_long), 0);
    EXPECT_EQ(is_move_valid(board_of("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1"), white_castle_short), 0);
    const SearchState& through = board_of("4k3/8/8/8/8/8/5r2/R3K2R w KQ - 0 1");
    EXPECT_EQ(is_move_valid(through, white_castle_short), 0);
    EXPECT_EQ(is_move_valid(through, white_castle_long), 1);
    // The b-file square may be attacked: the king never crosses it.
    EXPECT_EQ(is_move_valid(board_of("4k3/8/8/8/8/8/1r6/R3K2R w KQ - 0 1"), white_castle_long), 1);
    const SearchState& checked = board_of("4k3/8/8/4r3/8/8/8/R3K2R w KQ - 0 1");
    EXPECT_EQ(is_move_valid(checked, white_castle_short), 0);
    EXPECT_EQ(is_move_valid(checked, white_castle_long), 0);
    EXPECT_EQ(is_move_valid(board_of("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"), black_castle_long), 1);
}

TEST(SetupCheck, RecordsCheckersOfTheSideToMove) {
    const SearchState& none = board_of(start_fen);
    EXPECT_EQ(none.setup_hply, 0);
    EXPECT_EQ(none.hist_stack[-1].check_kind, 0);
    EXPECT_EQ(none.hist_stack[-1].pos_key, none.pos_key);
    EXPECT_EQ(none.hist_stack[-1].castle_rights, 15);

    const SearchState& one = board_of("4k3/8/8/8/8/8/8/4RK2 b - - 0 40");
    EXPECT_EQ(one.setup_hply, 79);
    EXPECT_EQ(one.hist_stack[78].check_kind, 2);
    EXPECT_EQ(one.hist_stack[78].check_sq, sq("e1"));
    EXPECT_EQ(one.hist_stack[78].move, 0u);
    EXPECT_TRUE(side_in_check(one));

    const SearchState& two = board_of("4k3/8/3N4/8/8/8/8/4RK2 b - - 0 1");
    const HistRecord& record = two.hist_stack[0];
    EXPECT_EQ(record.check_kind, 3);
    const int first = move_from(record.move);
    EXPECT_EQ(move_to(record.move), first);
    EXPECT_EQ(move_piece(record.move), two.board[first]);
    EXPECT_TRUE((first == sq("d6") && record.check_sq == sq("e1")) ||
                (first == sq("e1") && record.check_sq == sq("d6")));

    // Pawn checks count; the king is found even without other men.
    EXPECT_EQ(board_of("8/8/8/8/8/3k4/4P3/4K3 b - - 0 1").hist_stack[0].check_kind, 2);
    EXPECT_EQ(board_of("8/8/8/8/8/4k3/4P3/4K3 b - - 0 1").hist_stack[0].check_kind, 0);
}

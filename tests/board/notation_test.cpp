// FEN set-up (including cut and malformed texts), the set-up checks the
// interpreter relies on, move text both ways, the debugging prints and the
// colour mirror.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "board/board_check.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "board/board_fixture.h"

namespace {

// The text in a heap block of exactly its size, so that a read past its
// end is caught by the address sanitizer.
std::unique_ptr<char[]> exact_copy(const char* text, size_t length) {
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), text, length);
    copy[length] = 0;
    return copy;
}

bool fields_in_range(const SearchState& s) {
    for (int i = 0; i < 128; ++i)
        if (on_board(i) && (s.board[i] < empty || s.board[i] >= border)) return false;
    return s.castle_rights >= 0 && s.castle_rights <= 15 && s.hply >= 0 && s.hply < max_history &&
           (s.to_move == white || s.to_move == black) && board_is_ok(s);
}

}  // namespace

TEST(SetFen, ReadsSideRightsAndCounters) {
    const SearchState& start = board_of(start_fen);
    EXPECT_EQ(start.hply, 0);
    EXPECT_EQ(start.to_move, white);
    EXPECT_EQ(start.not_to_move, black);
    EXPECT_EQ(start.castle_rights, 15);
    EXPECT_EQ(start.ep_square, 0);
    EXPECT_EQ(start.halfmove_clock, 0);
    EXPECT_EQ(start.board[sq("d8")], black_queen);
    EXPECT_EQ(start.board[sq("e1")], white_king);

    EXPECT_EQ(board_of("4k3/8/8/8/8/8/8/4K3 b - - 0 1").hply, 1);
    const SearchState& late = board_of("4k3/8/8/8/8/8/8/4K3 w - - 12 30");
    EXPECT_EQ(late.halfmove_clock, 12);
    EXPECT_EQ(late.hply, 58);
    EXPECT_EQ(late.setup_hply, 58);

    // Counters missing, or an EPD operation where they would be.
    for (const char* fen : {"8/8/8/8/8/8/8/K6k w - -", "8/8/8/8/8/8/8/K6k w - - bm e4;",
                            "8/8/8/8/8/8/8/K6k w - - -3 x"}) {
        const SearchState& s = board_of(fen);
        EXPECT_EQ(s.halfmove_clock, 0) << fen;
        EXPECT_EQ(s.hply, 0) << fen;
    }
    EXPECT_EQ(board_of("8/8/8/8/8/8/8/K6k b - - bm e4;").hply, 1);

    // Uppercase side letters; full-move numbers clamped to keep hply small.
    EXPECT_EQ(board_of("8/8/8/8/8/8/8/K6k B - - 0 1").to_move, black);
    EXPECT_EQ(board_of("8/8/8/8/8/8/8/K6k w - - 0 0").hply, 0);
    EXPECT_EQ(board_of("8/8/8/8/8/8/8/K6k w - - 0 99999999999999999999").hply, 2 * 299);
}

TEST(SetFen, UnknownSideLetterKeepsTheSideToMove) {
    static SearchState state;
    set_fen(state, "8/8/8/8/8/8/8/K6k b - - 0 1");
    set_fen(state, "8/8/8/8/8/8/8/K6k x - - 0 1");
    EXPECT_EQ(state.to_move, black);
    EXPECT_EQ(state.not_to_move, white);
}

TEST(SetFen, DropsRightsAndEnPassantSquaresThePositionCannotHave) {
    // Castling rights need king and rook at home.
    EXPECT_EQ(board_of("r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1").castle_rights, white_short | black_long);
    EXPECT_EQ(board_of("r3k2r/8/8/8/8/8/8/R2K3R w KQkq - 0 1").castle_rights, black_short | black_long);
    EXPECT_EQ(board_of("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1").castle_rights, 15);

    // An en-passant square must lie behind an enemy pawn that just passed it.
    EXPECT_EQ(board_of("4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1").ep_square, sq("d6"));
    EXPECT_EQ(board_of("4k3/8/8/8/3P4/8/8/4K3 b - d3 0 1").ep_square, sq("d3"));
    EXPECT_EQ(board_of("4k3/8/8/8/8/8/8/4K3 w - d6 0 1").ep_square, 0);   // no pawn
    EXPECT_EQ(board_of("4k3/8/8/3p4/8/8/8/4K3 b - d6 0 1").ep_square, 0); // wrong side
    EXPECT_EQ(board_of("4k3/8/8/8/3p4/8/8/4K3 w - d4 0 1").ep_square, 0); // wrong rank
    EXPECT_EQ(board_of("4k3/3n4/8/3p4/8/8/8/4K3 w - d6 0 1").ep_square, 0); // origin occupied
    EXPECT_EQ(board_of("4k3/8/8/3p4/8/8/8/4K3 w - z9 0 1").ep_square, 0);
}

TEST(SetFen, CutOrMalformedTextsNeverLeaveTheBoardInconsistent) {
    const char* texts[] = {
        start_fen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6 12 40",
        "8/8/8/8/8/8/8/K6k w - - bm e4; id \"x\";",
        "99999999/pppppppppppp/xx/8/8/8/8/8 w KQkqKQkq e9 -1 -1",
        "rnbqkbnr/ppp_pppp/9/8/8/8/PPPPPPPP/RNBQKBNR",
    };
    for (const char* text : texts) {
        const size_t length = std::strlen(text);
        for (size_t cut = 0; cut <= length; ++cut) {
            const auto copy = exact_copy(text, cut);
            EXPECT_TRUE(fields_in_range(board_of(copy.get()))) << copy.get();
        }
    }
    // A text cut in the board field takes the default fields.
    const SearchState& cut = board_of("rnbqkbnr/pppppppp/8");
    EXPECT_EQ(cut.to_move, white);
    EXPECT_EQ(cut.castle_rights, 0);
    EXPECT_EQ(cut.men_total, 16);

    std::mt19937 random(12345);
    const char alphabet[] = "KQRBNPkqrbnp12345678/ -wb0123456789abcdefgh_Zx";
    for (int i = 0; i < 2000; ++i) {
        char text[100];
        const int length = int(random() % 99);
        for (int j = 0; j < length; ++j) text[j] = alphabet[random() % (sizeof alphabet - 1)];
        const auto copy = exact_copy(text, size_t(length));
        EXPECT_TRUE(fields_in_range(board_of(copy.get()))) << copy.get();
    }
}

TEST(FenBoardComplete, EightRanksOfEightSquares) {
    EXPECT_TRUE(fen_board_complete(start_fen));
    EXPECT_TRUE(fen_board_complete("8/8/8/8/8/8/8/8"));
    EXPECT_TRUE(fen_board_complete("4k3/8/8/8/8/8/8/4K3 w - -"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/8/8"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/7"));
    EXPECT_TRUE(fen_board_complete("8/8/8/8/8/8/8/44"));  // unusual, but eight squares
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/k8"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/7x"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/__k_____"));
    EXPECT_FALSE(fen_board_complete("8/8/8/8/8/8/8/09"));
    EXPECT_FALSE(fen_board_complete("8/8/8//8/8/8/8/8"));
    EXPECT_FALSE(fen_board_complete(""));
}

TEST(PositionIsLegal, KingsPawnsAndTheSideNotToMove) {
    EXPECT_TRUE(position_is_legal(board_of(start_fen)));
    EXPECT_TRUE(position_is_legal(board_of("4k3/8/8/8/8/8/8/4K2r w - - 0 1")));  // in check: fine
    EXPECT_FALSE(position_is_legal(board_of("4k3/8/8/8/8/8/8/4K2r b - - 0 1")));
    EXPECT_FALSE(position_is_legal(board_of("8/8/8/8/8/8/8/4K3 w - - 0 1")));
    EXPECT_FALSE(position_is_legal(board_of("4k3/8/8/8/8/8/8/4K1K1 w - - 0 1")));
    EXPECT_FALSE(position_is_legal(board_of("P3k3/8/8/8/8/8/8/4K3 w - - 0 1")));
    EXPECT_FALSE(position_is_legal(board_of("4k3/8/8/8/8/8/8/p3K3 w - - 0 1")));
    EXPECT_FALSE(position_is_legal(board_of("8/8/8/8/8/8/8/8 w - - 0 1")));
}

TEST(MoveText, CoordinateAndDisplayForms) {
    char text[16];
    const struct {
        Move move;
        const char* coordinate;
        const char* display;
    } cases[] = {
        {make_move_word(sq("g1"), sq("f3"), white_knight), "g1f3", "Ng1-f3"},
        {make_move_word(sq("e4"), sq("d5"), white_pawn, black_pawn), "e4d5", "e4xd5"},
        {make_move_word(sq("e7"), sq("e8"), white_pawn, 0, white_queen), "e7e8Q", "e7-e8=Q"},
        {make_move_word(sq("b2"), sq("a1"), black_pawn, white_rook, black_knight), "b2a1N", "b2xa1=N"},
        {make_move_word(sq("e5"), sq("d6"), white_pawn, black_pawn, 0, ep_flag), "e5d6", "e5xd6"},
        {black_castle_long, "e8c8", "Ke8-c8"},
    };
    for (const auto& c : cases) {
        move_to_text(c.move, text);
        EXPECT_STREQ(text, c.coordinate);
        move_to_long_text(c.move, text);
        EXPECT_STREQ(text, c.display);
    }
    square_to_text(sq("h8"), text);
    EXPECT_STREQ(text, "h8");
}

TEST(MoveText, ReadsCoordinateTextInEitherCase) {
    char upper[] = "E7E8Q";
    EXPECT_EQ(text_to_move(upper), make_move_word(sq("e7"), sq("e8"), 0, 0, queen));
    EXPECT_STREQ(upper, "e7e8q");  // characters 0, 2 and 4 are lowered in place
    char lower[] = "e7e8n";
    EXPECT_EQ(move_promote(text_to_move(lower)), knight);
    char plain[] = "e7e8";
    EXPECT_EQ(text_to_move(plain), make_move_word(sq("e7"), sq("e8"), 0));
    char odd[] = "e7e8k";
    EXPECT_EQ(move_promote(text_to_move(odd)), 0);
    for (const char* bad : {"", "e", "e7", "e7e", "i2e4", "e9e4", "e2e0", "Nf3", "O-O"}) {
        char buffer[8];
        std::strcpy(buffer, bad);
        EXPECT_EQ(text_to_move(buffer), 0u) << bad;
    }
}

TEST(Show, BoardMoveFieldsAndHistory) {
    static SearchState state;
    new_position(state);
    testing::internal::CaptureStdout();
    show_board(state);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n\trnbqkbnr\n\tpppppppp\n\t________\n\t________\n\t________\n\t________\n"
              "\tPPPPPPPP\n\tRNBQKBNR\n");

    testing::internal::CaptureStdout();
    show_move_fields(white_castle_short);
    show_move_fields(make_move_word(sq("e5"), sq("d6"), white_pawn, black_pawn, 0, ep_flag));
    show_move_fields(0xffffffffu);  // no code at all: must not read past the letters
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "e1 g1 K _ _ ep = 0 cst=536870912e5 d6 P p _ ep = 268435456 cst=0"
              "h8 h8 ? ? ? ep = 268435456 cst=536870912");

    const HashKey start_key = state.pos_key;
    char e2e4[] = "e2e4";
    make_move(state, text_to_move(e2e4) | Move(white_pawn) << 16);
    testing::internal::CaptureStdout();
    show_history(state);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "0. e2 e4 P _ _ ep = 0 cst=0 cst=15 ep=a1 fif=0 chk=0 hkey 0x%llx\n",
                  static_cast<unsigned long long>(start_key));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

TEST(Mirror, SwapsColoursAndRanks) {
    static SearchState state;
    new_position(state);
    const HashKey start_key = state.pos_key;
    mirror_board(state);
    // The start position is its own mirror, with the other side to move.
    EXPECT_EQ(state.pos_key, start_key);
    EXPECT_EQ(state.to_move, black);
    EXPECT_EQ(state.castle_rights, 15);
    EXPECT_TRUE(board_is_ok(state));

    set_fen(state, "r3k3/8/8/3pP3/8/8/8/4K2R w Kq d6 0 1");
    const HashKey key = state.pos_key;
    const int rights = state.castle_rights;
    mirror_board(state);
    EXPECT_EQ(state.ep_square, sq("d3"));
    EXPECT_EQ(state.castle_rights, white_long | black_short);
    EXPECT_EQ(state.board[sq("d4")], white_pawn);
    EXPECT_EQ(state.board[sq("e4")], black_pawn);
    EXPECT_EQ(state.board[sq("h8")], black_rook);
    EXPECT_EQ(state.board[sq("a1")], white_rook);
    EXPECT_TRUE(board_is_ok(state));
    EXPECT_EQ(state.setup_hply, state.hply);
    mirror_board(state);
    EXPECT_EQ(state.pos_key, key);
    EXPECT_EQ(state.castle_rights, rights);
    EXPECT_EQ(state.ep_square, sq("d6"));
    EXPECT_EQ(state.to_move, white);
    EXPECT_EQ(state.board[sq("d5")], black_pawn);

    // A mirrored position with a check records it for the side to move.
    set_fen(state, "4k3/8/8/8/8/8/8/4K2r w - - 0 1");
    mirror_board(state);
    EXPECT_EQ(state.hist_stack[state.hply - 1].check_kind, 2);
    EXPECT_EQ(state.hist_stack[state.hply - 1].check_sq, sq("h8"));
}

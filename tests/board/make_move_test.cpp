// Make and unmake over whole move trees: counts against published perft
// figures, exact restoration of every field (piece-list order included),
// incremental keys against recomputed ones, and the check status recorded by
// make_move against the board. Moves come from a small pseudo-legal
// enumerator local to this file.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/board_check.h"
#include "board/keys.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "eval/psq.h"

namespace {

struct AttackTableReady {
    AttackTableReady() { init_attack_table(); }
};
const AttackTableReady attack_table_ready;

// --------------------------------------------------- pseudo-legal enumerator

struct MoveList {
    Move moves[max_moves];
    int count = 0;
    void add(Move m) { moves[count++] = m; }
    bool contains(Move m) const {
        for (int i = 0; i < count; ++i)
            if (moves[i] == m) return true;
        return false;
    }
};

void add_pawn_moves(const SearchState& s, int from, MoveList& list) {
    const int us = s.to_move, code = code_of(pawn, us), dir = pawn_push[us];
    const int last = us == white ? 7 : 0, start = us == white ? 1 : 6;
    const auto add = [&](int to, int victim) {
        if (rank(to) != last) {
            list.add(make_move_word(from, to, code, victim));
            return;
        }
        for (int type = queen; type <= knight; ++type)
            list.add(make_move_word(from, to, code, victim, code_of(type, us)));
    };
    if (s.board[from + dir] == empty) {
        add(from + dir, 0);
        if (rank(from) == start && s.board[from + 2 * dir] == empty) add(from + 2 * dir, 0);
    }
    for (int side : {-1, 1}) {
        const int to = from + dir + side;
        if (piece_colour[s.board[to]] == 1 - us)
            add(to, s.board[to]);
        else if (s.ep_square && to == s.ep_square)
            list.add(make_move_word(from, to, code, code_of(pawn, 1 - us), 0, ep_flag));
    }
}

void add_castling(const SearchState& s, MoveList& list) {
    const int us = s.to_move, them = 1 - us, home = us == white ? sq_e1 : sq_e8;
    if (s.board[home] != code_of(king, us) || attacked(s, them, home)) return;
    const int short_right = us == white ? white_short : black_short;
    const int long_right = us == white ? white_long : black_long;
    if ((s.castle_rights & short_right) && s.board[home + 1] == empty && s.board[home + 2] == empty &&
        !attacked(s, them, home + 1) && !attacked(s, them, home + 2))
        list.add(us == white ? white_castle_short : black_castle_short);
    if ((s.castle_rights & long_right) && s.board[home - 1] == empty && s.board[home - 2] == empty &&
        s.board[home - 3] == empty && !attacked(s, them, home - 1) && !attacked(s, them, home - 2))
        list.add(us == white ? white_castle_long : black_castle_long);
}

void generate(const SearchState& s, MoveList& list) {
    static constexpr int king_steps[8] = {1, -1, 16, -16, 15, -15, 17, -17};
    static constexpr int knight_jumps[8] = {18, -18, 14, -14, 33, -33, 31, -31};
    list.count = 0;
    const int us = s.to_move;
    for (int sq = 0; sq < 128; ++sq) {
        const int code = on_board(sq) ? s.board[sq] : empty;
        if (code == empty || piece_colour[code] != us) continue;
        const int type = piece_type[code];
        if (type == pawn) {
            add_pawn_moves(s, sq, list);
            continue;
        }
        const int* steps = type == knight ? knight_jumps : king_steps;
        const int first = type == bishop ? 4 : 0, last = type == rook ? 4 : 8;
        const bool slides = type == queen || type == rook || type == bishop;
        for (int i = first; i < last; ++i) {
            for (int to = sq + steps[i];; to += steps[i]) {
                const int victim = s.board[to];
                if (victim == border || piece_colour[victim] == us) break;
                list.add(make_move_word(sq, to, code, victim));
                if (victim != empty || !slides) break;
            }
        }
    }
    add_castling(s, list);
}

// ------------------------------------------------------------ snapshots

// Everything make/unmake must restore, piece-list order included.
struct Snapshot {
    int mailbox[224];
    std::vector<int> lists[15];
    int to_move, castle_rights, ep_square, halfmove_clock, hply, men_total;
    int psq_sum[2], pawn_count[2], piece_material[2], men_count[15];
    HashKey pos_key, pawn_key;

    explicit Snapshot(const SearchState& s)
        : to_move(s.to_move), castle_rights(s.castle_rights), ep_square(s.ep_square),
          halfmove_clock(s.halfmove_clock), hply(s.hply), men_total(s.men_total),
          pos_key(s.pos_key), pawn_key(s.pawn_key) {
        std::memcpy(mailbox, s.mailbox, sizeof mailbox);
        for (int p = 0; p < 15; ++p)
            for (const PieceNode* n = s.piece_list[p]; n; n = n->next) lists[p].push_back(n->sq);
        for (int c = 0; c < 2; ++c) {
            psq_sum[c] = s.psq_sum[c];
            pawn_count[c] = s.pawn_count[c];
            piece_material[c] = s.piece_material[c];
        }
        std::memcpy(men_count, s.men_count, sizeof men_count);
    }
    bool operator==(const Snapshot& o) const {
        for (int p = 0; p < 15; ++p)
            if (lists[p] != o.lists[p]) return false;
        return std::memcmp(mailbox, o.mailbox, sizeof mailbox) == 0 && to_move == o.to_move &&
               castle_rights == o.castle_rights && ep_square == o.ep_square &&
               halfmove_clock == o.halfmove_clock && hply == o.hply && men_total == o.men_total &&
               std::memcmp(psq_sum, o.psq_sum, sizeof psq_sum) == 0 &&
               std::memcmp(pawn_count, o.pawn_count, sizeof pawn_count) == 0 &&
               std::memcmp(piece_material, o.piece_material, sizeof piece_material) == 0 &&
               std::memcmp(men_count, o.men_count, sizeof men_count) == 0 && pos_key == o.pos_key &&
               pawn_key == o.pawn_key;
    }
};

// Gives psq distinct values for the length of a test so that psq_sum
// tracking is actually exercised, then restores the evaluation's table.
class MakeUnmakeTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::memcpy(saved_, psq, sizeof saved_);
        for (int code = 0; code < 14; ++code)
            for (int sq = 0; sq < 128; ++sq) psq[code][sq] = (code * 131 + sq * 37) % 97 - 48;
    }
    void TearDown() override { std::memcpy(psq, saved_, sizeof saved_); }

private:
    int saved_[14][128];
};

// -------------------------------------------------------------- perft

struct PerftCase {
    std::string fen;
    std::vector<uint64_t> counts;  // counts[d - 1] for depth d
};

std::vector<PerftCase> read_perft_file() {
    std::vector<PerftCase> cases;
    std::ifstream in(std::string(VELKAN_TEST_DATA) + "/perft-public.epd");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        PerftCase c;
        std::getline(fields, c.fen, ';');
        std::string entry;
        while (std::getline(fields, entry, ';')) c.counts.push_back(std::stoull(entry.substr(entry.find(' ') + 1)));
        cases.push_back(c);
    }
    return cases;
}

bool mover_king_attacked(const SearchState& s) {
    return attacked(s, s.to_move, king_square(s, s.not_to_move));
}

uint64_t perft(SearchState& s, int depth) {
    MoveList list;
    generate(s, list);
    uint64_t leaves = 0;
    for (int i = 0; i < list.count; ++i) {
        make_move(s, list.moves[i]);
        if (!mover_king_attacked(s)) leaves += depth <= 1 ? 1 : perft(s, depth - 1);
        unmake_move(s);
    }
    return leaves;
}

// Perft that checks, at every node and for every move: exact restoration,
// board_is_ok after make and unmake, the recorded check status, the cheap
// legality test, and is_move_valid against the parent's moves.
struct CheckedWalk {
    SearchState& s;
    int failures = 0;

    void expect(bool ok, const char* what, Move m) {
        if (ok || ++failures > 5) return;
        char text[8];
        move_to_text(m, text);
        ADD_FAILURE() << what << " after " << text << " (hply " << s.hply << ")";
    }

    void validity_against(const MoveList& parent, const MoveList& own) {
        for (int i = 0; i < parent.count; ++i) {
            const Move m = parent.moves[i];
            expect(is_move_valid(s, m) == (own.contains(m) ? 1 : 0), "is_move_valid disagrees", m);
        }
    }

    uint64_t walk(int depth, const MoveList* parent) {
        MoveList list;
        generate(s, list);
        if (parent) validity_against(*parent, list);
        const bool in_check = side_in_check(s);
        expect(in_check == (s.hist_stack[s.hply - 1].check_kind != 0), "check status", 0);
        uint64_t leaves = 0;
        const Snapshot before(s);
        for (int i = 0; i < list.count; ++i) {
            const Move m = list.moves[i];
            expect(is_move_valid(s, m) == 1, "generated move refused", m);
            const int predicted = in_check ? -1 : leaves_king_in_check(s, m);
            make_move(s, m);
            expect(board_is_ok(s), "board after make", m);
            const bool illegal = mover_king_attacked(s);
            if (predicted >= 0) expect(predicted == (illegal ? 1 : 0), "leaves_king_in_check", m);
            if (!illegal) leaves += depth <= 1 ? 1 : walk(depth - 1, &list);
            unmake_move(s);
            expect(Snapshot(s) == before, "state after unmake", m);
        }
        return leaves;
    }
};

#if defined(VELKAN_SANITIZED) || !defined(NDEBUG)
constexpr uint64_t perft_node_budget = 200000;
constexpr uint64_t checked_node_budget = 20000;
#else
constexpr uint64_t perft_node_budget = 5000000;
constexpr uint64_t checked_node_budget = 300000;
#endif

// The deepest depth whose published count fits the budget.
int depth_within(const PerftCase& c, uint64_t budget) {
    int depth = 0;
    while (depth < int(c.counts.size()) && c.counts[depth] <= budget) ++depth;
    return depth;
}

}  // namespace

TEST(MakeUnmake, PerftMatchesPublishedCounts) {
    static SearchState state;
    const auto cases = read_perft_file();
    ASSERT_GE(cases.size(), 6u);
    for (const auto& c : cases) {
        set_fen(state, c.fen.c_str());
        const int depth = depth_within(c, perft_node_budget);
        if (depth == 0) continue;
        EXPECT_EQ(perft(state, depth), c.counts[depth - 1]) << c.fen << " depth " << depth;
    }
}

TEST_F(MakeUnmakeTree, MakeUnmakeKeepsEveryInvariantOverPerftTrees) {
    static SearchState state;
    for (const auto& c : read_perft_file()) {
        set_fen(state, c.fen.c_str());
        ASSERT_TRUE(board_is_ok(state)) << c.fen;
        const int depth = depth_within(c, checked_node_budget);
        if (depth == 0) continue;
        CheckedWalk walk{state};
        EXPECT_EQ(walk.walk(depth, nullptr), c.counts[depth - 1]) << c.fen;
        EXPECT_EQ(walk.failures, 0) << c.fen;
    }
}

namespace {

// Plays coordinate moves by matching them against the enumerator.
Move find_move(const SearchState& s, const char* text) {
    char buffer[8];
    std::strncpy(buffer, text, sizeof buffer - 1);
    buffer[7] = 0;
    const Move partial = text_to_move(buffer);
    MoveList list;
    generate(s, list);
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i];
        const int promote = move_promote(m) ? piece_type[move_promote(m)] : 0;
        if ((m & 0xffff) == (partial & 0xffff) && promote == move_promote(partial)) return m;
    }
    return 0;
}

}  // namespace

TEST(MakeUnmake, DoublePushCarriesEnPassantKeyForOneMove) {
    static SearchState state;
    new_position(state);
    const HashKey start = state.pos_key;
    make_move(state, find_move(state, "e2e4"));
    EXPECT_EQ(state.ep_square, make_square(4, 2));
    EXPECT_EQ(state.halfmove_clock, 0);
    // No black pawn can take on e3, yet the key carries the file term.
    EXPECT_TRUE(board_is_ok(state));
    const HashKey without_ep = state.pos_key ^ ep_keys[4];
    make_move(state, find_move(state, "g8f6"));
    EXPECT_EQ(state.ep_square, 0);
    EXPECT_EQ(state.halfmove_clock, 1);
    EXPECT_EQ(state.pos_key, without_ep ^ piece_keys[black_knight][sq64(sq_g8)] ^
                                 piece_keys[black_knight][sq64(make_square(5, 5))]);
    unmake_move(state);
    unmake_move(state);
    EXPECT_EQ(state.pos_key, start);
}

TEST(MakeUnmake, CastlingRightsFollowKingsAndRookSquares) {
    static SearchState state;
    set_fen(state, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const HashKey before = state.pos_key;
    make_move(state, find_move(state, "e1d1"));
    EXPECT_EQ(state.castle_rights, black_short | black_long);
    EXPECT_EQ(state.pos_key, before ^ castle_keys[15] ^ castle_keys[12] ^
                                 piece_keys[white_king][sq64(sq_e1)] ^ piece_keys[white_king][sq64(sq_d1)]);
    unmake_move(state);

    // Capturing the rook on h8 takes black's short right, though black's
    // king never moved; the capturing rook loses white's short right too.
    make_move(state, find_move(state, "h1h8"));
    EXPECT_EQ(state.castle_rights, white_long | black_long);
    EXPECT_TRUE(board_is_ok(state));
    unmake_move(state);
    EXPECT_EQ(state.castle_rights, 15);

    make_move(state, find_move(state, "e1c1"));
    EXPECT_EQ(state.board[sq_d1], white_rook);
    EXPECT_EQ(state.board[sq_a1], empty);
    EXPECT_EQ(state.castle_rights, black_short | black_long);
    EXPECT_TRUE(board_is_ok(state));
    unmake_move(state);
    EXPECT_EQ(state.board[sq_a1], white_rook);
    EXPECT_EQ(state.pos_key, before);
}

TEST(MakeUnmake, NullMoveRestoresKeyAndEnPassant) {
    static SearchState state;
    set_fen(state, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 3");
    ASSERT_EQ(state.ep_square, make_square(3, 5));
    const Snapshot before(state);
    make_null(state);
    EXPECT_EQ(state.ep_square, 0);
    EXPECT_EQ(state.to_move, black);
    EXPECT_EQ(state.halfmove_clock, 1);
    EXPECT_EQ(state.hist_stack[state.hply - 1].check_kind, 0);
    EXPECT_TRUE(board_is_ok(state));
    unmake_null(state);
    EXPECT_TRUE(Snapshot(state) == before);
}

// -------------------------------------------------------------- gives_check

namespace {

struct CheckCase {
    const char* fen;
    const char* move;
    int kind;
    const char* check_square;  // nullptr: 0
};

// Each case names the mechanism it exercises.
const CheckCase check_cases[] = {
    // Knight promotion a knight's jump from the king.
    {"5k2/4P3/8/8/8/8/8/K7 w - - 0 1", "e7e8n", 0, nullptr},
    {"8/4P3/5k2/8/8/8/8/K7 w - - 0 1", "e7e8n", 1, nullptr},
    // Queen promotion straight away from the king down an empty file.
    {"8/6P1/8/8/8/8/8/K5k1 w - - 0 1", "g7g8q", 1, nullptr},
    {"8/6P1/8/8/8/6N1/8/K5k1 w - - 0 1", "g7g8q", 0, nullptr},
    // Capture-promotion onto the king's diagonal.
    {"5r2/6P1/8/8/8/8/7k/K7 w - - 0 1", "g7f8q", 0, nullptr},
    {"5r2/6P1/8/2k5/8/8/8/K7 w - - 0 1", "g7f8b", 1, nullptr},
    // The capturing pawn stood between the king and the promotion square.
    {"5r2/6P1/7k/8/8/8/8/K7 w - - 0 1", "g7f8b", 1, nullptr},
    {"5r2/6P1/7k/8/8/8/8/K7 w - - 0 1", "g7f8r", 0, nullptr},
    // Pawn checks only diagonally forward.
    {"8/8/3k4/8/3P4/8/8/K7 w - - 0 1", "d4d5", 0, nullptr},
    {"8/8/4k3/8/3P4/8/8/K7 w - - 0 1", "d4d5", 1, nullptr},
    // Slider blocked or not.
    {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", 1, nullptr},
    {"4k3/8/8/8/8/8/8/4KB2 w - - 0 1", "f1b5", 1, nullptr},
    {"4k3/8/2n5/8/8/8/8/4KB2 w - - 0 1", "f1b5", 0, nullptr},
    // Discovered check through the vacated square, and double check.
    {"4k3/8/8/8/4N3/8/8/K3R3 w - - 0 1", "e4c5", 2, "e1"},
    {"4k3/8/8/8/4N3/8/8/K3R3 w - - 0 1", "e4d6", 3, "e1"},
    // Moving along the line keeps it closed.
    {"4k3/8/8/8/4R3/8/8/K3Q3 w - - 0 1", "e4e5", 1, nullptr},
    // The castling rook lands on the king's file or rank.
    {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 2, "f1"},
    {"3k4/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", 2, "d1"},
    {"8/8/8/8/8/8/8/R3K1k1 w Q - 0 1", "e1c1", 2, "d1"},
    {"8/8/8/8/8/8/8/k3K2R w K - 0 1", "e1g1", 2, "f1"},
    {"7k/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0, nullptr},
    // En passant removes the last blocker between a bishop and the king.
    {"7k/8/8/4pP2/8/8/8/B3K3 w - e6 0 1", "f5e6", 2, "a1"},
    // En passant clears both pawns off the king's rank.
    {"8/8/8/K2pP2k/8/8/8/8 w - d6 0 1", "e5d6", 0, nullptr},
    {"8/8/8/R2pP2k/8/8/8/K7 w - d6 0 1", "e5d6", 2, "a5"},
    {"8/8/8/R1npP2k/8/8/8/K7 w - d6 0 1", "e5d6", 0, nullptr},
};

}  // namespace

TEST(GivesCheck, KindAndSquareMatchTheBoardAfterTheMove) {
    static SearchState state;
    for (const auto& c : check_cases) {
        set_fen(state, c.fen);
        const Move m = find_move(state, c.move);
        ASSERT_NE(m, 0u) << c.fen << " " << c.move;
        int check_sq = -1;
        EXPECT_EQ(gives_check(state, m, check_sq), c.kind) << c.fen << " " << c.move;
        char expected[3] = "a1";
        if (c.check_square) std::strcpy(expected, c.check_square);
        char got[3];
        square_to_text(check_sq, got);
        if (c.kind >= 2) {
            EXPECT_STREQ(got, expected) << c.fen << " " << c.move;
        } else {
            EXPECT_EQ(check_sq, 0) << c.fen << " " << c.move;
        }
        make_move(state, m);
        EXPECT_EQ(side_in_check(state), c.kind != 0) << c.fen << " " << c.move;
        EXPECT_EQ(state.hist_stack[state.hply - 1].check_kind, c.kind);
    }
}

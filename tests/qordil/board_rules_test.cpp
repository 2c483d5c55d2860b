// The bitbase library's own move rules: its moves agree with the engine's
// on random positions of every table, its moves taken back are exactly the
// moves forward read backwards, and legality, promotions and double steps.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <string>

#include "board/notation.h"
#include "qordil/board_rules.h"
#include "qordil_helpers.h"
#include "search/game_referee.h"

using qordil_test::position;
using qordil_test::position_text;

namespace {

std::string fen_of(const qordil::Position& p) {
    char board[64] = {};
    const char letters[] = "_KQRBNPkqrbnp";
    for (int i = 0; i < p.count; ++i) board[p.square[i]] = letters[p.code[i]];
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int gap = 0;
        for (int file = 0; file < 8; ++file) {
            const char man = board[rank * 8 + file];
            if (!man) {
                ++gap;
                continue;
            }
            if (gap) fen += char('0' + gap);
            gap = 0;
            fen += man;
        }
        if (gap) fen += char('0' + gap);
        if (rank) fen += '/';
    }
    return fen + (p.side == qordil::white ? " w - - 0 1" : " b - - 0 1");
}

// The engine's position read back as the library's.
std::string engine_position_text(const SearchState& state) {
    qordil::Position p;
    p.side = state.to_move;
    p.count = 2;
    for (int sq = 0; sq < 64; ++sq) {
        const int code = state.board[(sq / 8) * 16 + sq % 8];
        if (code == 0) continue;
        if (code == qordil::white_king) {
            p.square[0] = sq;
        } else if (code == qordil::black_king) {
            p.square[1] = sq;
        } else {
            p.code[p.count] = code;
            p.square[p.count++] = sq;
        }
    }
    return position_text(p);
}

std::multiset<std::string> successor_texts(const qordil::Position& p) {
    qordil::Successor moves[qordil::max_moves];
    const int n = qordil::legal_successors(p, moves);
    std::multiset<std::string> texts;
    for (int m = 0; m < n; ++m) texts.insert(position_text(moves[m].pos));
    return texts;
}

}  // namespace

TEST(QordilRules, MovesAgreeWithTheEngineOnEveryTable) {
    init_attack_table();
    qordil::init_board_rules();
    auto state = std::make_unique<SearchState>();
    std::mt19937 random(13);
    for (int table = 0; table < qordil::table_count; ++table) {
        for (int trial = 0; trial < 60; ++trial) {
            const qordil::Position p = qordil_test::random_position(table, random);
            set_fen(*state, fen_of(p).c_str());
            std::multiset<std::string> engine;
            for (const Move m : referee::legal_moves(*state)) {
                make_move(*state, m);
                engine.insert(engine_position_text(*state));
                unmake_move(*state);
            }
            ASSERT_EQ(successor_texts(p), engine) << fen_of(p);
        }
    }
}

TEST(QordilRules, MovesTakenBackAreTheMovesForwardReversed) {
    qordil::init_board_rules();
    std::mt19937 random(7);
    qordil::Successor moves[qordil::max_moves];
    qordil::Position previous[qordil::max_moves];
    for (int table = 0; table < qordil::table_count; ++table) {
        for (int trial = 0; trial < 40; ++trial) {
            const qordil::Position p = qordil_test::random_position(table, random);
            // Every quiet move forward is found again backwards from where it leads.
            const int n = qordil::legal_successors(p, moves);
            for (int m = 0; m < n; ++m) {
                if (moves[m].converts) continue;
                const int back = qordil::predecessors(moves[m].pos, previous);
                int found = 0;
                for (int b = 0; b < back; ++b) found += position_text(previous[b]) == position_text(p);
                ASSERT_EQ(found, 1) << position_text(p) << " -> " << position_text(moves[m].pos);
            }
            // Every legal position taken back has a quiet move to p.
            const int back = qordil::predecessors(p, previous);
            for (int b = 0; b < back; ++b) {
                if (!qordil::is_legal(previous[b])) continue;
                const int forward = qordil::legal_successors(previous[b], moves);
                int found = 0;
                for (int m = 0; m < forward; ++m)
                    found += !moves[m].converts && position_text(moves[m].pos) == position_text(p);
                ASSERT_EQ(found, 1) << position_text(previous[b]) << " -> " << position_text(p);
            }
        }
    }
}

TEST(QordilRules, LegalityPromotionsAndDoubleSteps) {
    qordil::init_board_rules();
    struct Case {
        const char* men;
        char side;
        bool legal;
        int moves;       // legal moves, when legal
        int converting;  // of which captures or promotions
    };
    const Case cases[] = {
        {"Ka1 kh7 Qd4", 'w', true, 29, 0},
        {"Ka1 kh8 Qd4", 'w', false, 0, 0},   // black, not to move, is in check
        {"Ka1 kb3", 'w', true, 1, 0},        // kings apart: Kb1 only
        {"Ka1 kb2", 'w', false, 0, 0},       // kings together
        {"Ka1 kh8 Pa8", 'w', false, 0, 0},   // pawn on the last rank
        {"Ka1 kh8 Pb7", 'w', true, 7, 4},    // four promotions, three king moves
        {"Ka1 kh8 Pb2", 'w', true, 4, 0},    // one and two steps
        {"Ka1 kh8 Pb2 nb4", 'w', true, 2, 0},  // no double step onto the knight, a2 is covered
        {"Ka1 kh8 Pb2 nb3", 'w', true, 2, 0},  // in check: the blocked pawn cannot help
        {"Ka1 kc2 Rb3", 'b', true, 4, 1},    // Kxb3, Kc1, Kd1, Kd2
        {"Ka1 kc2 Rb2", 'b', true, 4, 0},    // the guarded rook cannot be taken
        {"Ka8 kc7 Qb6", 'b', true, 3, 1},    // Kxb6, Kc8, Kd7
        {"Ka8 kc8 Qb7", 'w', false, 0, 0},
        {"Kh1 ka8 Qb6", 'b', true, 0, 0},    // stalemate
    };
    qordil::Successor moves[qordil::max_moves];
    for (const Case& c : cases) {
        const qordil::Position p = position(c.men, c.side);
        ASSERT_EQ(qordil::is_legal(p), c.legal) << c.men;
        if (!c.legal) continue;
        const int n = qordil::legal_successors(p, moves);
        int converting = 0;
        for (int m = 0; m < n; ++m) converting += moves[m].converts;
        EXPECT_EQ(n, c.moves) << c.men;
        EXPECT_EQ(converting, c.converting) << c.men;
    }
}

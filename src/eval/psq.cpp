#include "eval/psq.h"

#include "board/board.h"

int psq[14][128];

namespace {

// Positional tables from white's view, written as printed on a diagram:
// rank 8 first, files a to h. table_at turns a 0x88 square into the index.
using SquareTable = int[64];

constexpr int table_at(const SquareTable& table, int sq) {
    return table[(7 - rank(sq)) * 8 + file(sq)];
}

constexpr SquareTable knight_psq = {
    -30, -20, -20, -20, -20, -20, -20, -30,
    -20, -10, -10, -10, -10, -10, -10, -20,
    -15,  -5,   0,   0,   0,   0,  -5, -15,
    -15,  -5,   0,   5,   5,   0,  -5, -15,
    -10,  -5,   0,   5,   5,   0,  -5, -10,
    -10,  -5,   0,   0,   0,   0,  -5, -10,
    -10,  -5,  -5,  -5,  -5,  -5,  -5, -10,
    -20, -20, -20, -20, -20, -20, -20, -20,
};

constexpr SquareTable bishop_psq = {
    -20, -20, -20, -20, -20, -20, -20, -20,
    -20, -10, -10, -10, -10, -10, -10, -20,
    -20,  -5,   0,   0,   0,   0,  -5, -20,
    -15,  -5,   0,   5,   5,   0,  -5, -15,
    -10,  -5,   0,   5,   5,   0,  -5, -10,
    -10,  -5,   0,   0,   0,   0,  -5, -10,
    -10,  -5,  -5,  -5,  -5,  -5,  -5, -10,
    -20, -20, -20, -20, -20, -20, -20, -20,
};

// The same on every rank: rooks care only about the file.
constexpr SquareTable rook_psq = {
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
    -6, -3, 0, 3, 3, 0, -3, -6,
};

constexpr SquareTable queen_psq = {
    -20, -20, -10, -10, -10, -10, -20, -20,
    -20,  -5,  -5,  -5,  -5,  -5,  -5, -20,
    -20,   0,   4,   4,   4,   4,   0, -20,
    -10,   0,   4,   5,   5,   4,   0, -10,
     -5,   0,   4,   5,   5,   4,   0,  -5,
     -5,   0,   4,   4,   4,   4,   0,  -5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
     -5,  -5,  -5,  -5,  -5,  -5,  -5,  -5,
};

// The centre pawns are pushed to the fourth rank first (40), and the
// d2/e2 squares cost a little so that they do not stay home.
constexpr SquareTable pawn_psq = {
      0,   0,   0,   0,   0,   0,   0,   0,
     -8,  11,  15,  20,  20,  15,  11,  -8,
     -8,  11,  15,  20,  20,  15,  11,  -8,
     -8,  11,  15,  20,  20,  15,  11,  -8,
     -8,  11,  15,  40,  40,  15,  11,  -8,
    -12,   5,   8,  12,  12,   8,   5, -12,
    -14,   2,   3,  -5,  -5,   3,   2, -14,
      0,   0,   0,   0,   0,   0,   0,   0,
};

constexpr SquareTable king_mg_psq = {
    -80, -80, -80, -80, -80, -80, -80, -80,
    -80, -80, -80, -80, -80, -80, -80, -80,
    -80, -80, -80, -80, -80, -80, -80, -80,
    -80, -80, -80, -80, -80, -80, -80, -80,
    -60, -60, -60, -60, -60, -60, -60, -60,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -17, -17, -25, -30, -30, -25, -17, -17,
     -7,   0, -15, -20, -20, -15,   0,  -7,
};

constexpr SquareTable king_eg_psq = {
    -30, -20, -10,   0,   0, -10, -20, -30,
    -20, -10,   0,  10,  10,   0, -10, -20,
    -10,   0,  10,  20,  20,  10,   0, -10,
      0,  10,  20,  30,  30,  20,  10,   0,
      0,  10,  20,  30,  30,  20,  10,   0,
    -10,   0,  10,  20,  20,  10,   0, -10,
    -20, -10,   0,  10,  10,   0, -10, -20,
    -30, -20, -10,   0,   0, -10, -20, -30,
};

// Positional table of each colourless type; kings have none in psq.
constexpr const SquareTable* type_tables[7] = {nullptr, nullptr, &queen_psq, &rook_psq,
                                               &bishop_psq, &knight_psq, &pawn_psq};

}  // namespace

void init_psq() {
    for (int code = 0; code < 14; ++code)
        for (int sq = 0; sq < 128; ++sq) psq[code][sq] = 0;
    for (int type = queen; type <= pawn; ++type) {
        const SquareTable& table = *type_tables[type];
        for (int sq = 0; sq < 128; ++sq) {
            if (!on_board(sq)) continue;
            psq[code_of(type, white)][sq] = psq_base[type] + table_at(table, sq);
            psq[code_of(type, black)][sq] = psq_base[type] + table_at(table, sq ^ 0x70);
        }
    }
}

int king_psq_mg(int sq) { return table_at(king_mg_psq, sq); }
int king_psq_eg(int sq) { return table_at(king_eg_psq, sq); }

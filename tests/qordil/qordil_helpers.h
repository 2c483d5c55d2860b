#pragma once
// Helpers for the bitbase library's tests: positions written as men
// ("Ka1 kc3 Qb2", capitals white), random legal positions of a table, and
// a comparable text of a position.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "qordil/tables.h"

namespace qordil_test {

inline int man_code(char letter) {
    const std::string letters = "KQRBNPkqrbnp";
    const size_t at = letters.find(letter);
    return at == std::string::npos ? 0 : int(at) + 1;
}

inline int square_of(const char* name) { return (name[1] - '1') * 8 + (name[0] - 'a'); }

// "Ka1 kc3 Qb2" with white ('w') or black ('b') to move.
inline qordil::Position position(const std::string& men, char side = 'w') {
    qordil::Position p;
    p.side = side == 'w' ? qordil::white : qordil::black;
    p.count = 2;
    for (size_t i = 0; i + 2 < men.size() + 1; i += 4) {
        const int code = man_code(men[i]);
        const int sq = square_of(men.c_str() + i + 1);
        if (code == qordil::white_king) {
            p.square[0] = sq;
        } else if (code == qordil::black_king) {
            p.square[1] = sq;
        } else {
            p.code[p.count] = code;
            p.square[p.count] = sq;
            ++p.count;
        }
    }
    return p;
}

// The men and the side to move, in an order that does not depend on the
// order of the men: equal texts are equal positions.
inline std::string position_text(const qordil::Position& p) {
    const std::string letters = "_KQRBNPkqrbnp";
    std::vector<std::string> men;
    for (int i = 0; i < p.count; ++i) {
        std::string man(1, letters[size_t(p.code[i])]);
        man += char('a' + p.square[i] % 8);
        man += char('1' + p.square[i] / 8);
        men.push_back(man);
    }
    std::sort(men.begin(), men.end());
    std::string text;
    for (const std::string& man : men) text += man + " ";
    return text + (p.side == qordil::white ? "w" : "b");
}

// A random legal position of a table's men (in the table's colours).
inline qordil::Position random_position(int table, std::mt19937& random) {
    const qordil::TableInfo& info = qordil::table_info(table);
    std::uniform_int_distribution<int> square(0, 63);
    while (true) {
        qordil::Position p;
        p.side = int(random() & 1);
        p.count = 2 + info.men;
        p.square[0] = square(random);
        p.square[1] = square(random);
        for (int i = 0; i < info.men; ++i) {
            p.code[2 + i] = info.code[i];
            p.square[2 + i] = square(random);
        }
        if (qordil::is_legal(p)) return p;
    }
}

// The same position with colours swapped and the board turned over.
inline qordil::Position colours_swapped(const qordil::Position& p) {
    qordil::Position q = p;
    q.side = p.side ^ 1;
    q.square[0] = p.square[1] ^ 56;
    q.square[1] = p.square[0] ^ 56;
    for (int i = 2; i < p.count; ++i) {
        q.code[i] = qordil::swap_colour(p.code[i]);
        q.square[i] = p.square[i] ^ 56;
    }
    return q;
}

// Every square mirrored in the files (t & 1), the ranks (t & 2), the long
// diagonal (t & 4, first).
inline qordil::Position transformed(const qordil::Position& p, int t) {
    qordil::Position q = p;
    for (int i = 0; i < p.count; ++i) {
        int f = p.square[i] % 8;
        int r = p.square[i] / 8;
        if (t & 4) std::swap(f, r);
        if (t & 1) f = 7 - f;
        if (t & 2) r = 7 - r;
        q.square[i] = r * 8 + f;
    }
    return q;
}

}  // namespace qordil_test

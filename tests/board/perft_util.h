#pragma once
// Test-side perft: counts the legal leaves of a position's move tree in two
// independent ways, plus a reader for EPD perft files ("FEN ;D1 n ;D2 n").
//
// - perft_by_attack makes every move from generate_all and keeps it when the
//   mover's king is not attacked afterwards: it trusts nothing but make,
//   unmake and `attacked`.
// - perft_like_search settles legality as the search does: generate_evasions
//   in check (its moves are taken as legal), otherwise generate_all filtered
//   by leaves_king_in_check.
// Both walk the tree the way the search does: ply and ply_rec advance after
// each make, so every ply writes its own move list.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/search_state.h"

namespace perft {

// A SearchState on the heap (it is large) set up from a FEN.
inline std::unique_ptr<SearchState> state_from_fen(const char* fen) {
    static const bool table_ready = (init_attack_table(), true);
    (void)table_ready;
    auto state = std::make_unique<SearchState>();
    set_fen(*state, fen);
    return state;
}

inline void descend(SearchState& state, Move m) {
    make_move(state, m);
    ++state.ply;
    ++state.ply_rec;
}

inline void ascend(SearchState& state) {
    --state.ply;
    --state.ply_rec;
    unmake_move(state);
}

// The in-check status the search reads: the check the last move gave.
inline bool in_check(const SearchState& state) {
    return state.hist_stack[state.hply - 1].check_kind != 0;
}

// Whether the move just made left the mover's king attacked.
inline bool mover_in_check(const SearchState& state) {
    return attacked(state, state.to_move, king_square(state, state.not_to_move)) != 0;
}

// Whether a pseudo-legal move is legal, by making it.
inline bool is_legal_by_making(SearchState& state, Move m) {
    make_move(state, m);
    const bool legal = !mover_in_check(state);
    unmake_move(state);
    return legal;
}

inline uint64_t perft_by_attack(SearchState& state, int depth) {
    if (depth == 0) return 1;
    PlyRecord& rec = *state.ply_rec;
    rec.move_count = 0;
    generate_all(state);
    uint64_t leaves = 0;
    for (int i = 0; i < rec.move_count; ++i) {
        descend(state, rec.moves[i]);
        if (!mover_in_check(state)) leaves += perft_by_attack(state, depth - 1);
        ascend(state);
    }
    return leaves;
}

// Fills the current ply's list with the legal moves, as the search finds them.
inline void legal_moves_like_search(SearchState& state) {
    PlyRecord& rec = *state.ply_rec;
    rec.move_count = 0;
    if (in_check(state)) {
        generate_evasions(state);
        return;
    }
    generate_all(state);
    int kept = 0;
    for (int i = 0; i < rec.move_count; ++i)
        if (!leaves_king_in_check(state, rec.moves[i])) rec.moves[kept++] = rec.moves[i];
    rec.move_count = kept;
}

// With bulk_leaves the last ply counts its legal moves without making them.
template <bool bulk_leaves>
uint64_t perft_like_search(SearchState& state, int depth) {
    if (depth == 0) return 1;
    legal_moves_like_search(state);
    PlyRecord& rec = *state.ply_rec;
    if (bulk_leaves && depth == 1) return uint64_t(rec.move_count);
    uint64_t leaves = 0;
    for (int i = 0; i < rec.move_count; ++i) {
        descend(state, rec.moves[i]);
        leaves += perft_like_search<bulk_leaves>(state, depth - 1);
        ascend(state);
    }
    return leaves;
}

// Calls visit(state) at every node of the legal tree down to `depth` plies
// below the current position (the current position included).
template <class Visit>
void for_each_node(SearchState& state, int depth, Visit&& visit) {
    visit(state);
    if (depth == 0) return;
    PlyRecord& rec = *state.ply_rec;
    rec.move_count = 0;
    generate_all(state);
    for (int i = 0; i < rec.move_count; ++i) {
        descend(state, rec.moves[i]);
        if (!mover_in_check(state)) for_each_node(state, depth - 1, visit);
        ascend(state);
    }
}

// Coordinate text of a move (e2e4, b7a8q), for readable test failures.
inline std::string move_text(Move m) {
    std::string text;
    for (int sq : {move_from(m), move_to(m)}) {
        text += char('a' + file(sq));
        text += char('1' + rank(sq));
    }
    if (is_promotion(m)) text += char(piece_letters[code_of(piece_type[move_promote(m)], black)]);
    return text;
}

// The moves of the current ply's list from index `first` on.
inline std::vector<Move> listed_moves(const SearchState& state, int first = 0) {
    const PlyRecord& rec = *state.ply_rec;
    std::vector<Move> moves;
    for (int i = first; i < rec.move_count; ++i) moves.push_back(rec.moves[i]);
    return moves;
}

inline std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> result;
    for (Move m : moves) result.push_back(move_text(m));
    return result;
}

struct DepthCount {
    int depth;
    uint64_t leaves;
};

struct PerftCase {
    std::string fen;
    std::vector<DepthCount> counts;
};

// Reads "FEN ;D1 n ;D2 n ..." lines; blank lines and lines starting with '#'
// are skipped.
inline std::vector<PerftCase> read_epd(const std::string& path) {
    std::vector<PerftCase> cases;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        PerftCase c;
        std::getline(fields, c.fen, ';');
        while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
        std::string field;
        while (std::getline(fields, field, ';')) {
            int depth = 0;
            unsigned long long leaves = 0;
            if (std::sscanf(field.c_str(), " D%d %llu", &depth, &leaves) == 2)
                c.counts.push_back({depth, uint64_t(leaves)});
        }
        cases.push_back(c);
    }
    return cases;
}

inline void PrintTo(const PerftCase& c, std::ostream* out) { *out << c.fen; }

}  // namespace perft

#pragma once
// SearchState: one complete, self-contained search object. It holds the
// position (the board part, whose field order is fixed), the game and search
// history, the stack of PlyRecords, the search counters, the evaluation's
// scratch data and the fields of the parallel search. Every SearchState is
// built once in static storage and lives for the whole run; one thread at a
// time works on it. It holds pointers into itself (board, square_node,
// piece lists, ply_rec), so it is never copied by value: copy_search_state
// copies one into another.

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "search/ply_record.h"

struct EvalParams;
struct EvalCache;
struct PawnTable;
extern EvalCache main_eval_cache;
extern PawnTable main_pawn_table;

// Scratch written by every full evaluation (one set per search thread).
struct EvalScratch {
    // Packed attack counts per colour for square indexes -48..175 (offset 48):
    // pawn 64, knight or bishop 16, rook 4, queen 2, king 1.
    uint8_t attack_map_storage[2][224];
    uint8_t* attack_map[2];
    // Per colour and file -1..8 (offset 1): bit r set for a pawn on rank r.
    uint8_t pawn_ranks[2][10];
    int pawn_files[2];       // bit f: a pawn of that colour on file f
    int pawn_rank_bits[2];   // bit r: a pawn of that colour on rank r
    int all_pawn_files;
    int passed_files[2];     // bit f: a passed pawn of that colour on file f
};

struct SearchState {
    // ---- board part (field order fixed) ----
    int to_move;
    int not_to_move;
    int castle_rights;
    int ep_square;          // square passed over by the last double push, or 0
    int halfmove_clock;
    int mailbox[224];       // board squares and the border guard bands
    int* board;             // mailbox + 48: valid for squares -48..175
    PieceNode* square_node[128];
    PieceNode* piece_list[15];  // head per piece code (the man inserted last)
    int hply;               // entries in hist_stack
    int ply;                // distance from the search root
    int base_ply;           // ply at which the current search run was entered
    int psq_sum[2];
    int pawn_count[2];
    int piece_material[2];  // non-pawn material in pawn units, kings 0
    int men_count[15];
    int men_total;
    HashKey pos_key;
    HashKey pawn_key;
    PlyRecord* ply_rec;     // ply_records + ply
    // hist_stack[i] is the record of the move made at game ply i. It points
    // one record into hist_storage so that hist_stack[-1] exists: a position
    // just set up keeps its own check status in hist_stack[hply - 1], where
    // the search reads the in-check status of the side to move, even at hply 0.
    HistRecord hist_storage[max_history + 1];
    HistRecord* hist_stack;
    // hply when the position was set up (FEN, mirror). Records below it do
    // not belong to this game: repetition tests never read them.
    int setup_hply;

    // ---- search stack ----
    PlyRecord ply_records[max_ply];

    // ---- search fields (cleared at the start of each search) ----
    uint64_t nodes;
    uint64_t qnodes;
    uint64_t next_check;
    int sel_depth;          // deepest ply reached (merged copies included)
    int eval_count;
    int lazy_count;
    int splits;
    int bad_splits;
    int egbb_probes;
    const EvalParams* params;
    // Per-thread tables of the evaluation. Every state starts with the main
    // thread's; a state searched by another thread must point at that
    // thread's own tables.
    EvalCache* eval_cache = &main_eval_cache;
    PawnTable* pawn_table = &main_pawn_table;

    // ---- evaluation scratch ----
    EvalScratch eval;

    // ---- split fields of the parallel search ----
    SearchState* split_master;  // for a copy: the split point it came from
    uint8_t in_use;             // pool entry taken
    int worker_index;           // worker slot of the thread using this state
    std::atomic<int> stopped;   // the work of this copy has become useless
    SearchState* copies[8];     // for a split point: the copy per worker slot
    int copy_count;             // copies attached and not yet merged
    std::atomic<int> split_lock;

    // The 128 piece-list nodes owned by this state (square_node points here).
    PieceNode node_storage[128];

    // Builds the fixed parts: border guards, empty board, nodes, pointers.
    SearchState();
    SearchState(const SearchState&) = delete;
    SearchState& operator=(const SearchState&) = delete;
};

// Copies the game position and the open search path of src into dst (see the
// function for exactly what is copied); dst keeps its own nodes and records.
void copy_search_state(SearchState& dst, const SearchState& src);

// Recomputes everything derived from board, castle_rights and ep_square
// (piece lists, counters, both keys) and resets the search stack to ply 0.
void init_position(SearchState& state);

// Writes hist_stack[hply - 1] as the check record of the position just set
// up (as if a move had given that check) and sets setup_hply = hply.
void record_setup_check(SearchState& state);

// The king square of a colour (head of its king list).
inline int king_square(const SearchState& state, int colour) {
    return state.piece_list[code_of(king, colour)]->sq;
}

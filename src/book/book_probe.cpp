// Choosing a book move at the root. Every legal root move is made and the
// position after it looked up in the table of the side that moved; the
// moves found are printed as a table and one is chosen by its score among
// them, its share of the games seen, its learn weight and a small random
// term that varies the choice between close moves.

#include <cstdlib>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "book/book.h"
#include "protocol/console.h"
#include "search/search_node.h"

namespace {

// The random term adds 0 to this much to the value of a choosable move:
// enough to vary between moves of nearly the same value, never enough to
// prefer a clearly worse one.
constexpr int random_spread = 15;
// Range of the random draw: 0 to random_limit.
constexpr int random_limit = 32767;

// One root move and what the book says about the position after it. An
// empty entry (key 0) means not found, or never to be played.
struct BookCandidate {
    BookEntry entry;
    Move move;
    int total;  // games through the position; 0 when not found
};

// The candidates of one probe in root-list order; `sum` counts the games of
// all found entries.
struct CandidateList {
    BookCandidate items[max_moves];
    int count = 0;
    int sum = 0;
};

// Makes the move one ply below the root, looks its position up unless the
// rules already draw it, and takes the move back.
void look_up_move(SearchState& state, int side, BookCandidate& candidate) {
    make_move(state, candidate.move);
    descend(state);
    BookEntry found;
    if (!is_draw_by_rule(state, in_check(state)) && book_lookup(state.pos_key, side, found) &&
        games_of(found) > 0) {
        candidate.entry = found;
        candidate.total = int(games_of(found));
    }
    ascend(state);
    unmake_move(state);
}

// Exchange sort by total, highest first. It is not stable: which of equal
// totals comes first is part of the choice rule (the first highest value
// wins), so the exchanges are kept exactly.
void sort_by_total(CandidateList& list) {
    for (int i = 0; i < list.count; ++i)
        for (int j = i + 1; j < list.count; ++j)
            if (list.items[i].total < list.items[j].total) {
                const BookCandidate swapped = list.items[i];
                list.items[i] = list.items[j];
                list.items[j] = swapped;
            }
}

// The sort value of a found candidate: its score in percent, scaled by its
// share of all games seen here and by its learn weight, in single
// precision and truncated; plus the random term when it is not 0.
int sort_value(const BookEntry& entry, int sum) {
    const int played = int(games_of(entry));
    const int percent = (100 * entry.wins + 50 * entry.draws) / played;
    const float share = float(played) / float(sum);
    const float weight = float(entry.learn) / 100.0f;
    int value = int(float(percent) * share * weight);
    if (value != 0) value += (std::rand() % (random_limit + 1)) * random_spread / random_limit;
    return value;
}

void show_candidate(const BookCandidate& candidate, int value) {
    const BookEntry& entry = candidate.entry;
    const double played = double(candidate.total);
    char text[16];
    move_to_long_text(candidate.move, text);
    emit("%6s %8d %7.2f%% %7.2f%% %7.2f%% %6d %6d\n", text, candidate.total,
         100.0 * entry.wins / played, 100.0 * entry.losses / played, 100.0 * entry.draws / played,
         int(entry.learn), value);
}

}  // namespace

Move book_probe(SearchState& state) {
    const PlyRecord& root = state.ply_records[0];
    const int side = state.to_move;
    static CandidateList list;
    list.count = root.move_count < max_moves ? root.move_count : max_moves;
    list.sum = 0;
    for (int i = 0; i < list.count; ++i) {
        BookCandidate& candidate = list.items[i];
        candidate = BookCandidate{BookEntry{}, root.moves[i], 0};
        look_up_move(state, side, candidate);
        list.sum += candidate.total;
    }
    sort_by_total(list);
    if (list.sum > 0) emit("  Move   Played     +        -        =     Learn  Sortv\n");
    int best = 0;
    Move chosen = 0;
    for (int i = 0; i < list.count; ++i) {
        const BookCandidate& candidate = list.items[i];
        if (candidate.entry.key == 0) continue;
        const int value = sort_value(candidate.entry, list.sum);
        if (value > best) {
            best = value;
            chosen = candidate.move;
        }
        show_candidate(candidate, value);
    }
    return chosen;
}

void show_book(SearchState& state) {
    PlyRecord& root = state.ply_records[0];
    root.move_count = 0;
    generate_captures(state);
    generate_quiets(state);
    int kept = 0;
    for (int i = 0; i < root.move_count; ++i) {
        const Move m = root.moves[i];
        make_move(state, m);
        const bool legal = !attacked(state, state.to_move, king_square(state, state.not_to_move));
        unmake_move(state);
        if (legal) root.moves[kept++] = m;
    }
    root.move_count = kept;
    (void)book_probe(state);
}

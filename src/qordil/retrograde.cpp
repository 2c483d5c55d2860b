#include "qordil/retrograde.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

namespace qordil {

namespace {

// A losing floor that no level reaches: the position has a way out.
constexpr uint8_t never = 255;

// The analysis' working state of one entry, kept together so that a
// predecessor costs one memory access: its entry as far as known, the
// moves not yet known to lose, and the levels its conversions settle.
struct Work {
    uint8_t entry;
    uint8_t counter;
    uint8_t win_at;
    uint8_t loss_floor;
};

// What a position's captures and promotions settle before the analysis.
struct Conversions {
    int fastest_win = 0;   // plies of the fastest win through them, 0 for none
    int longest_loss = 0;  // plies of the longest loss through them
    bool escape = false;   // one of them draws or wins
};

// First pass over the table: marks entries that are no position, scores
// mates and stalemates, counts each position's moves that stay in the table
// and settles what its conversions give. The count is weighted so that it
// equals the number of times the backward pass will reach the position:
// that pass starts only from canonical entries, and a successor that is its
// own mirror image is reached from both halves of its predecessor's moves.
bool first_pass(int table, const TableSet& set, std::vector<Work>& work, int& last_event) {
    const int64_t size = table_info(table).size;
    Successor moves[max_moves];
    for (int64_t index = 0; index < size; ++index) {
        const Position p = index_position(table, index);
        Work& w = work[size_t(index)];
        w = Work{draw_entry, 0, 0, 0};
        if (!is_legal(p) || table_index(table, p) != index) {
            w.entry = illegal_entry;
            continue;
        }
        const int n = legal_successors(p, moves);
        if (n == 0) {
            if (in_check(p, p.side))
                w.entry = plies_entry(0);
            else
                w.loss_floor = never;
            continue;
        }
        Conversions conversions;
        int weight = 0;
        for (int m = 0; m < n; ++m) {
            if (!moves[m].converts) {
                const Position& next = moves[m].pos;
                weight += kings_share_a_long_diagonal(next) ? symmetry_count(table, next) : 1;
                continue;
            }
            const int entry = lookup_entry(set, moves[m].pos);
            if (entry < 0 || entry == illegal_entry) {
                std::fprintf(stderr, "qordil: %s needs a table it does not have\n", table_info(table).name);
                return false;
            }
            const int plies = entry_plies(entry) + 1;
            if (entry == draw_entry) {
                conversions.escape = true;
            } else if (entry_is_loss(entry)) {
                if (conversions.fastest_win == 0 || plies < conversions.fastest_win) conversions.fastest_win = plies;
            } else if (plies > conversions.longest_loss) {
                conversions.longest_loss = plies;
            }
        }
        w.counter = uint8_t(kings_share_a_long_diagonal(p) ? weight / symmetry_count(table, p) : weight);
        w.win_at = uint8_t(conversions.fastest_win);
        const bool escapes = conversions.escape || conversions.fastest_win != 0;
        w.loss_floor = escapes ? never : uint8_t(conversions.longest_loss);
        if (conversions.fastest_win > last_event) last_event = conversions.fastest_win;
        if (!escapes && conversions.longest_loss > last_event) last_event = conversions.longest_loss;
    }
    return true;
}

}  // namespace

bool generate_table(int table, const TableSet& set, uint8_t* out) {
    const int64_t size = table_info(table).size;
    std::vector<Work> work(static_cast<size_t>(size));
    int last_event = 0;
    if (!first_pass(table, set, work, last_event)) return false;

    // The positions whose conversions may settle them at a level, and the
    // positions settled at the level just done (the mates to begin with).
    std::vector<std::vector<uint32_t>> events(size_t(last_event) + 1);
    std::vector<uint32_t> frontier;
    for (int64_t index = 0; index < size; ++index) {
        const Work& w = work[size_t(index)];
        if (w.entry == plies_entry(0)) frontier.push_back(uint32_t(index));
        if (w.entry != draw_entry) continue;
        if (w.win_at != 0) events[w.win_at].push_back(uint32_t(index));
        if (w.loss_floor != 0 && w.loss_floor != never) events[w.loss_floor].push_back(uint32_t(index));
    }

    // Level by level: the positions settled at `level - 1` plies are taken
    // back one move. Taken back from a loss, a move is a win in `level`;
    // from a win, it is one more move of the predecessor known to lose, and
    // when none is left (and its conversions lose no later) the predecessor
    // is lost in `level`. Conversions settle positions at their own level.
    Position previous[max_moves];
    std::vector<uint32_t> found;
    for (int level = 1; !frontier.empty() || level <= last_event; ++level) {
        if (level > max_plies) {
            std::fprintf(stderr, "qordil: %s has a mate too long for its entries\n", table_info(table).name);
            return false;
        }
        const uint8_t found_entry = plies_entry(level);
        const bool finding_wins = (level & 1) != 0;
        found.clear();
        if (level <= last_event)
            for (const uint32_t index : events[size_t(level)]) {
                Work& w = work[index];
                if (w.entry != draw_entry) continue;
                if (finding_wins ? w.win_at == level : w.counter == 0) {
                    w.entry = found_entry;
                    found.push_back(index);
                }
            }
        // In entry order, the predecessors of neighbouring positions are
        // neighbours too; and all of a position's predecessors are fetched
        // from memory together before any is looked at.
        std::sort(frontier.begin(), frontier.end());
        for (const uint32_t index : frontier) {
            const int n = predecessors(index_position(table, index), previous);
            int64_t entries[max_moves];
            for (int m = 0; m < n; ++m) {
                entries[m] = table_index(table, previous[m]);
                if (entries[m] >= 0) __builtin_prefetch(&work[size_t(entries[m])], 1);
            }
            for (int m = 0; m < n; ++m) {
                const int64_t j = entries[m];
                if (j < 0) continue;
                Work& w = work[size_t(j)];
                if (w.entry != draw_entry) continue;
                if (finding_wins || (--w.counter == 0 && w.loss_floor <= level)) {
                    w.entry = found_entry;
                    found.push_back(uint32_t(j));
                }
            }
        }
        frontier.swap(found);
    }
    for (int64_t index = 0; index < size; ++index) out[index] = work[size_t(index)].entry;
    return true;
}

TableReport summarize_table(int table, const uint8_t* data) {
    TableReport report;
    const TableInfo& t = table_info(table);
    const int64_t per_side = t.size / 2;
    for (int64_t index = 0; index < t.size; ++index) {
        const int entry = data[index];
        if (entry == illegal_entry) continue;
        ++report.positions;
        const int side = index < per_side ? white : black;
        const int plies = entry_plies(entry);
        if (entry == draw_entry) {
            ++report.draws;
        } else if (entry_is_win(entry)) {
            ++report.wins;
            if (plies > report.longest_win[side]) report.longest_win[side] = plies;
        } else {
            ++report.losses;
            if (plies > report.longest_loss[side]) report.longest_loss[side] = plies;
        }
    }
    return report;
}

TableReport verify_table(int table, const TableSet& set) {
    const uint8_t* data = set.data[table];
    TableReport report = summarize_table(table, data);
    const int64_t size = table_info(table).size;
    Successor moves[max_moves];
    for (int64_t index = 0; index < size; ++index) {
        const int entry = data[index];
        const Position p = index_position(table, index);
        if (!is_legal(p) || table_index(table, p) != index) {
            if (entry != illegal_entry) ++report.faults;
            continue;
        }
        const int n = legal_successors(p, moves);
        int expected = draw_entry;
        if (n == 0) {
            expected = in_check(p, p.side) ? plies_entry(0) : draw_entry;
        } else {
            int fastest_win = INT_MAX;
            int longest_loss = 0;
            bool drawn = false;
            bool missing = false;
            for (int m = 0; m < n; ++m) {
                const int next = lookup_entry(set, moves[m].pos);
                if (next < 0 || next == illegal_entry) {
                    missing = true;
                } else if (next == draw_entry) {
                    drawn = true;
                } else if (entry_is_loss(next)) {
                    if (entry_plies(next) + 1 < fastest_win) fastest_win = entry_plies(next) + 1;
                } else if (entry_plies(next) + 1 > longest_loss) {
                    longest_loss = entry_plies(next) + 1;
                }
            }
            if (missing) expected = -1;
            else if (fastest_win != INT_MAX) expected = plies_entry(fastest_win);
            else if (drawn) expected = draw_entry;
            else expected = plies_entry(longest_loss);
        }
        if (entry != expected) ++report.faults;
    }
    return report;
}

}  // namespace qordil

// Making tables in the test itself (the 3-man ones, fast enough under the
// sanitizers): each agrees with the moves of all its positions, has the
// published longest wins, scores mates and stalemates right, and gives the
// same answer for a position, its mirror images and its colour swap.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "qordil/retrograde.h"
#include "qordil_helpers.h"

using qordil_test::position;

namespace {

// The five 3-man tables, made once for all tests here.
const qordil::TableSet& three_man_tables() {
    static std::vector<std::vector<uint8_t>> storage(qordil::table_count);
    static qordil::TableSet set;
    static bool made = false;
    if (!made) {
        for (const char* name : {"KQK", "KRK", "KBK", "KNK", "KPK"}) {
            const int t = qordil::find_table(name);
            storage[size_t(t)].resize(size_t(qordil::table_info(t).size));
            EXPECT_TRUE(qordil::generate_table(t, set, storage[size_t(t)].data()));
            set.data[t] = storage[size_t(t)].data();
        }
        made = true;
    }
    return set;
}

int entry_of(const char* men, char side) { return qordil::lookup_entry(three_man_tables(), position(men, side)); }

}  // namespace

TEST(QordilRetrograde, ThreeManTablesAgreeWithTheirMovesAndPublishedLongestWins) {
    const qordil::TableSet& set = three_man_tables();
    struct Case {
        const char* name;
        int longest_win_moves;  // white to move
        bool any_win;
    };
    const Case cases[] = {{"KQK", 10, true}, {"KRK", 16, true}, {"KBK", 0, false}, {"KNK", 0, false}, {"KPK", 28, true}};
    for (const Case& c : cases) {
        const int t = qordil::find_table(c.name);
        const qordil::TableReport report = qordil::verify_table(t, set);
        EXPECT_EQ(report.faults, 0) << c.name;
        EXPECT_EQ((report.longest_win[qordil::white] + 1) / 2, c.longest_win_moves) << c.name;
        EXPECT_EQ(report.wins > 0, c.any_win) << c.name;
        // The lone king never wins.
        EXPECT_EQ(report.longest_win[qordil::black], 0) << c.name;
        EXPECT_EQ(report.positions, report.wins + report.losses + report.draws) << c.name;
    }
}

TEST(QordilRetrograde, MatesStalematesAndKnownResults) {
    struct Case {
        const char* men;
        char side;
        int entry;
    };
    const Case cases[] = {
        {"Ka6 ka8 Qb7", 'b', qordil::plies_entry(0)},  // mated
        {"Kh1 ka8 Qb6", 'b', qordil::draw_entry},      // stalemated
        {"Kc6 ka8 Qb1", 'w', qordil::plies_entry(1)},  // Qb7 mates
        {"Kc6 ka8 Rh1", 'w', qordil::plies_entry(3)},  // no mate at once: Kb6 first
        {"Kh1 ka8 Pa7", 'w', qordil::draw_entry},      // the king takes the pawn
        {"Kh1 ka8 Ra7", 'b', qordil::draw_entry},      // Kxa7
        {"Kh1 kh8 Bc4", 'w', qordil::draw_entry},      // a bishop cannot mate
        {"Kh1 ka3 Nc4", 'b', qordil::draw_entry},
    };
    for (const Case& c : cases) EXPECT_EQ(entry_of(c.men, c.side), c.entry) << c.men << " " << c.side;
    EXPECT_TRUE(qordil::entry_is_win(entry_of("Kb6 kh8 Pa7", 'w')));
    // Kings together have no entry; men on one square, or the side not to
    // move in check, are marked as no position.
    EXPECT_EQ(entry_of("Ka1 kb2 Qh8", 'w'), -1);
    EXPECT_EQ(entry_of("Ka1 kh8 Qa1", 'w'), qordil::illegal_entry);
    EXPECT_EQ(entry_of("Ka1 kh8 Qg7", 'w'), qordil::illegal_entry);  // black, not to move, in check
}

TEST(QordilRetrograde, MirrorImagesAndColourSwapsScoreAlike) {
    const qordil::TableSet& set = three_man_tables();
    std::mt19937 random(11);
    for (const char* name : {"KQK", "KRK", "KPK"}) {
        const int t = qordil::find_table(name);
        const bool pawns = qordil::table_info(t).pawns;
        for (int trial = 0; trial < 2000; ++trial) {
            const qordil::Position p = qordil_test::random_position(t, random);
            const int entry = qordil::lookup_entry(set, p);
            ASSERT_NE(entry, qordil::illegal_entry);
            EXPECT_EQ(qordil::lookup_entry(set, qordil_test::colours_swapped(p)), entry);
            for (int s = 1; s < 8; ++s) {
                if (pawns && s != 1) continue;
                EXPECT_EQ(qordil::lookup_entry(set, qordil_test::transformed(p, s)), entry);
            }
        }
    }
}

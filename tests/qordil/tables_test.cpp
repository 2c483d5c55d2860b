// The table catalogue and the folding of positions into entries: every set
// of men has its table, symmetric positions share an entry, and an entry
// gives back a position it stands for.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "qordil/tables.h"
#include "qordil_helpers.h"

using qordil_test::position_text;

TEST(QordilTables, EverySetOfMenHasOneTable) {
    std::set<std::string> names;
    int64_t entries = 0;
    for (int t = 0; t < qordil::table_count; ++t) {
        names.insert(qordil::table_info(t).name);
        entries += qordil::table_info(t).size;
        EXPECT_EQ(qordil::find_table(qordil::table_info(t).name), t);
    }
    EXPECT_EQ(names.size(), size_t(qordil::table_count));
    EXPECT_EQ(qordil::find_table("kbnk"), qordil::find_table("KBNK"));
    EXPECT_EQ(qordil::find_table("KBKBN"), -1);
    EXPECT_LT(entries, int64_t(256) << 20);

    const int men[] = {qordil::white_queen, qordil::white_rook,  qordil::white_bishop, qordil::white_knight,
                       qordil::white_pawn,  qordil::black_queen, qordil::black_rook,   qordil::black_bishop,
                       qordil::black_knight, qordil::black_pawn};
    const int partners[] = {0, qordil::white_queen, qordil::black_pawn, qordil::black_knight, qordil::white_rook};
    for (const int a : men)
        for (const int b : partners) {
            qordil::Position p;
            p.square[0] = 0;
            p.square[1] = 63;
            p.count = b ? 4 : 3;
            p.code[2] = a;
            p.square[2] = 20;
            p.code[3] = b;
            p.square[3] = 43;
            int table = -1;
            qordil::Position oriented;
            ASSERT_TRUE(qordil::orient(p, table, oriented)) << a << " " << b;
            const qordil::TableInfo& info = qordil::table_info(table);
            // The table holds the same men, in its slot order.
            for (int i = 0; i < info.men; ++i) EXPECT_EQ(oriented.code[2 + i], info.code[i]);
            EXPECT_EQ(info.men, p.count - 2);
        }
}

TEST(QordilTables, SymmetricPositionsShareAnEntryThatGivesThemBack) {
    std::mt19937 random(5);
    for (int table = 0; table < qordil::table_count; ++table) {
        const bool pawns = qordil::table_info(table).pawns;
        for (int trial = 0; trial < 200; ++trial) {
            const qordil::Position p = qordil_test::random_position(table, random);
            const int64_t index = qordil::table_index(table, p);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, qordil::table_info(table).size);
            for (int t = 1; t < 8; ++t) {
                if (pawns && t != 1) continue;
                EXPECT_EQ(qordil::table_index(table, qordil_test::transformed(p, t)), index)
                    << qordil::table_info(table).name << " " << position_text(p) << " symmetry " << t;
            }
            // The entry's position is one of p's images.
            const qordil::Position back = qordil::index_position(table, index);
            bool image = false;
            for (int t = 0; t < 8; ++t) image = image || position_text(qordil_test::transformed(p, t)) == position_text(back);
            EXPECT_TRUE(image) << position_text(p) << " came back as " << position_text(back);
            EXPECT_EQ(qordil::table_index(table, back), index);
        }
    }
}

TEST(QordilTables, EntriesScoreFromTheSideToMove) {
    EXPECT_EQ(qordil::entry_score(qordil::draw_entry), 0);
    EXPECT_EQ(qordil::entry_score(qordil::plies_entry(0)), -2999);  // mated
    EXPECT_EQ(qordil::entry_score(qordil::plies_entry(1)), 2979);   // mates at once
    EXPECT_EQ(qordil::entry_score(qordil::plies_entry(2)), -2959);
    EXPECT_EQ(qordil::entry_score(qordil::plies_entry(85)), 2999 - 20 * 85);
    // Every ply nearer the mate scores more, down to the floor of 1000.
    for (int plies = 1; plies + 2 <= qordil::max_plies; plies += 2) {
        EXPECT_GE(qordil::entry_score(qordil::plies_entry(plies)), qordil::entry_score(qordil::plies_entry(plies + 2)));
        EXPECT_GE(qordil::entry_score(qordil::plies_entry(plies)), 1000);
    }
    EXPECT_EQ(qordil::entry_score(qordil::plies_entry(qordil::max_plies)), 1000);
}

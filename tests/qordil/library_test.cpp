// The built qordil64.dll through its two exports, as the engine calls them:
// load types, scores and their scale, what it does not know, and probes
// from several threads at once. Tables that the build did not make (the
// sanitizer builds make the 3-man ones only) are skipped.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "qordil/retrograde.h"
#include "qordil_helpers.h"

namespace {

using LoadFunction = void (*)(char* path, int cache_bytes, int load_type);
using ProbeFunction = int (*)(int side, int white_king, int black_king, int piece1, int square1, int piece2,
                              int square2, int piece3, int square3);

constexpr int unknown = 99999;
const std::string table_dir = QORDIL_DIR;

struct Library {
    void* handle = nullptr;
    LoadFunction load = nullptr;
    ProbeFunction probe = nullptr;
    Library() {
        handle = dlopen((table_dir + "qordil64.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        load = reinterpret_cast<LoadFunction>(dlsym(handle, "load_egbb_5men"));
        probe = reinterpret_cast<ProbeFunction>(dlsym(handle, "probe_egbb_5men"));
    }
    ~Library() {
        if (handle) dlclose(handle);
    }
    void load_from(const std::string& dir, int load_type, int cache_bytes = 4 << 20) {
        std::string path = dir;
        load(path.data(), cache_bytes, load_type);
    }
    int probe_position(const qordil::Position& p) const {
        int piece[3] = {};
        int square[3] = {};
        for (int i = 2; i < p.count; ++i) {
            piece[i - 2] = p.code[i];
            square[i - 2] = p.square[i];
        }
        return probe(p.side, p.square[0], p.square[1], piece[0], square[0], piece[1], square[1], piece[2], square[2]);
    }
    int probe_men(const char* men, char side) const { return probe_position(qordil_test::position(men, side)); }
};

bool have_table(const char* name) {
    const uint8_t* data = qordil::map_table_file(table_dir.c_str(), qordil::find_table(name));
    qordil::unmap_table_file(qordil::find_table(name), data);
    return data != nullptr;
}

class QordilLibrary : public ::testing::Test {
protected:
    Library library;
    void SetUp() override {
        ASSERT_NE(library.handle, nullptr) << dlerror();
        ASSERT_NE(library.load, nullptr);
        ASSERT_NE(library.probe, nullptr);
        library.load_from(table_dir, 1);
    }
};

}  // namespace

TEST_F(QordilLibrary, ScoresWinsLossesAndDrawsFromTheSideToMove) {
    struct Case {
        const char* men;
        char side;
        int score;
    };
    const Case cases[] = {
        {"Ka6 ka8 Qb7", 'b', -2999},  // mated
        {"Kc6 ka8 Qb1", 'w', 2979},   // mates in one
        {"Kc6 ka8 Rh1", 'w', 2939},   // in two: 20 less for each ply
        {"Kh1 ka8 Qb6", 'b', 0},      // stalemate
        {"Ke1 ke8", 'w', 0},          // two kings
        {"Kh1 ka8 Ra7", 'b', 0},
        // Black's men are scored as well as white's.
        {"Ka1 kc3 qb8", 'b', 2979},
        {"Ka1 ka3 qb2", 'w', -2999},
    };
    for (const Case& c : cases) EXPECT_EQ(library.probe_men(c.men, c.side), c.score) << c.men << " " << c.side;
    // The rook's side wins from anywhere its rook is safe.
    const int rook = library.probe_men("Ke1 ke5 Ra1", 'w');
    EXPECT_GE(rook, 1000);
    EXPECT_LE(rook, 2999);
    EXPECT_LE(library.probe_men("Ke1 ke5 Ra1", 'b'), -1000);
}

TEST_F(QordilLibrary, AnswersUnknownForWhatItDoesNotKnow) {
    EXPECT_EQ(library.probe(0, 4, 60, qordil::white_rook, 0, qordil::white_rook, 7, qordil::black_rook, 56), unknown);
    EXPECT_EQ(library.probe(0, 4, 60, 13, 0, 0, 0, 0, 0), unknown);                      // no such man
    EXPECT_EQ(library.probe(0, 4, 60, qordil::black_king, 0, 0, 0, 0, 0), unknown);      // a third king
    EXPECT_EQ(library.probe(0, 4, 64, qordil::white_rook, 0, 0, 0, 0, 0), unknown);      // off the board
    EXPECT_EQ(library.probe(2, 4, 60, qordil::white_rook, 0, 0, 0, 0, 0), unknown);      // no such side
    EXPECT_EQ(library.probe_men("Ke1 ke2 Ra1", 'w'), unknown);                            // kings together
    EXPECT_EQ(library.probe_men("Ke1 ke8 Re1", 'w'), unknown);                            // one square twice
    EXPECT_EQ(library.probe_men("Ke1 ke8 Pa8", 'w'), unknown);                            // pawn on the last rank
    EXPECT_EQ(library.probe_men("Ke1 ke8 Re7", 'w'), unknown);                            // black in check, white to move

    library.load_from(table_dir, 0);
    EXPECT_EQ(library.probe_men("Ke1 ke5 Ra1", 'w'), unknown);
    EXPECT_EQ(library.probe_men("Ke1 ke8", 'w'), unknown);
    library.load_from(table_dir + "nowhere", 1);
    EXPECT_EQ(library.probe_men("Ke1 ke5 Ra1", 'w'), unknown);
    EXPECT_EQ(library.probe_men("Ke1 ke8", 'w'), 0);
}

TEST_F(QordilLibrary, FiveManLoadTypesSaySoAndLoadTheSame) {
    for (const int load_type : {2, 3}) {
        testing::internal::CaptureStdout();
        library.load_from(table_dir.substr(0, table_dir.size() - 1), load_type);  // no separator at the end
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "qordil: five-man tables are not available; the 3- and 4-man tables are loaded\n");
        EXPECT_EQ(library.probe_men("Kc6 ka8 Qb1", 'w'), 2979);
    }
    testing::internal::CaptureStdout();
    library.load_from(table_dir, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(QordilLibrary, AgreesWithTheTablesInAnySlotOrderAndFromManyThreads) {
    qordil::TableSet set;
    for (int t = 0; t < qordil::table_count; ++t) set.data[t] = qordil::map_table_file(table_dir.c_str(), t);
    std::vector<qordil::Position> positions;
    std::mt19937 random(3);
    for (int t = 0; t < qordil::table_count; ++t)
        if (set.data[t])
            for (int i = 0; i < 300; ++i) positions.push_back(qordil_test::random_position(t, random));
    std::vector<int> expected;
    for (const qordil::Position& p : positions) {
        expected.push_back(qordil::entry_score(qordil::lookup_entry(set, p)));
        qordil::Position reordered = p;
        if (p.count == 4) {
            std::swap(reordered.code[2], reordered.code[3]);
            std::swap(reordered.square[2], reordered.square[3]);
        }
        ASSERT_EQ(library.probe_position(reordered), expected.back()) << qordil_test::position_text(p);
    }
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int w = 0; w < 4; ++w)
        threads.emplace_back([&, w] {
            for (int round = 0; round < 20; ++round)
                for (size_t i = 0; i < positions.size(); ++i)
                    wrong[size_t(w)] += library.probe_position(positions[i]) != expected[i];
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
    for (int t = 0; t < qordil::table_count; ++t) qordil::unmap_table_file(t, set.data[t]);

    // A cache size covering every table: the library answers from its own
    // copy, the same, and drops the copy again when loaded anew.
    library.load_from(table_dir, 1, 1 << 30);
    int copy_wrong = 0;
    for (size_t i = 0; i < positions.size(); ++i) copy_wrong += library.probe_position(positions[i]) != expected[i];
    EXPECT_EQ(copy_wrong, 0);
    library.load_from(table_dir, 0, 1 << 30);
    EXPECT_EQ(library.probe_position(positions[0]), unknown);
    library.load_from(table_dir, 1);
    EXPECT_EQ(library.probe_position(positions[0]), expected[0]);
}

TEST(QordilPublished, LongestWinsOfTheBuiltTables) {
    struct Case {
        const char* name;
        int moves;
    };
    // The longest wins with the stronger side to move, as published.
    const Case cases[] = {{"KQK", 10}, {"KRK", 16}, {"KPK", 28},  {"KBBK", 19},
                          {"KBNK", 33}, {"KQKR", 35}, {"KRKN", 40}};
    int checked = 0;
    for (const Case& c : cases) {
        const int t = qordil::find_table(c.name);
        const uint8_t* data = qordil::map_table_file(table_dir.c_str(), t);
        if (!data) continue;
        const qordil::TableReport report = qordil::summarize_table(t, data);
        EXPECT_EQ((report.longest_win[qordil::white] + 1) / 2, c.moves) << c.name;
        qordil::unmap_table_file(t, data);
        ++checked;
    }
    if (!have_table("KQKR")) GTEST_SKIP() << "the build made the 3-man tables only (" << checked << " checked)";
}

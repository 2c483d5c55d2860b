// Book lookups and the choice among book moves, on small books written by
// hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "book/book_files.h"
#include "eval/psq.h"
#include "protocol/game.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/search.h"
#include "search/time_control.h"
#include "search/trans_table.h"

using namespace book_test;

namespace {

constexpr const char* book_header = "  Move   Played     +        -        =     Learn  Sortv";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The sort value: the last number of a table line.
int sort_value_of(const std::string& line) { return std::atoi(line.substr(line.rfind(' ')).c_str()); }

class BookProbe : public ScratchDir {
protected:
    SearchState& board = probe_board();

    static SearchState& probe_board() {
        static SearchState state;
        return state;
    }

    void TearDown() override {
        open_book(path("none").c_str());  // no book stays open for other tests
        ScratchDir::TearDown();
    }

    void use_book(const BookTables& book) {
        write_book(path("book.dat"), sorted(book));
        ASSERT_TRUE(open_book(path("book.dat").c_str()));
    }

    // Sets up the SAN moves and probes with the legal moves at the root;
    // returns the chosen move in coordinate text ("" for none) and the
    // printed table in `lines`.
    std::string probe_after(const std::string& moves, std::vector<std::string>& lines) {
        play_san(board, moves);
        bitbase_root = false;
        build_root_list(board, 0);
        testing::internal::CaptureStdout();
        const Move chosen = book_probe(board);
        lines = lines_of(testing::internal::GetCapturedStdout());
        char text[8] = "";
        if (chosen) move_to_text(chosen, text);
        return text;
    }
};

}  // namespace

TEST_F(BookProbe, LookupStaysInsideTheTableOfItsSide) {
    const HashKey shared = 0x8000000000000000ull;  // above every signed key
    use_book({{{{5, 1, 0, 0, 100}, {9, 2, 0, 0, 100}, {shared, 3, 0, 0, 100}},
                {{7, 4, 0, 0, 100}, {shared, 5, 0, 0, 100}}}});
    const struct {
        HashKey key;
        int side;
        int wins;  // 0: not found
    } cases[] = {
        {5, white, 1}, {9, white, 2}, {shared, white, 3}, {7, black, 4}, {shared, black, 5},
        {7, white, 0}, {5, black, 0}, {9, black, 0},     {1, white, 0}, {1, black, 0},
        {~0ull, white, 0}, {~0ull, black, 0},
    };
    for (const auto& c : cases) {
        BookEntry found;
        const bool hit = book_lookup(c.key, c.side, found);
        EXPECT_EQ(hit, c.wins != 0) << c.key << " side " << c.side;
        if (hit) {
            EXPECT_EQ(found.wins, c.wins) << c.key << " side " << c.side;
        }
    }
}

TEST_F(BookProbe, NothingIsFoundWithoutABookOrInAnEmptyTable) {
    BookEntry found;
    EXPECT_FALSE(open_book(path("missing.dat").c_str()));
    EXPECT_FALSE(book_lookup(5, white, found));
    use_book({{{}, {{5, 1, 0, 0, 100}}}});
    EXPECT_FALSE(book_lookup(5, white, found));
    EXPECT_TRUE(book_lookup(5, black, found));
}

TEST_F(BookProbe, TableLineShowsGamesAsPercentages) {
    use_book({{{entry("e4", 3, 1, 0)}, {}}});
    std::vector<std::string> lines;
    EXPECT_EQ(probe_after("", lines), "e2e4");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], book_header);
    const std::string fixed = " e2-e4        4   75.00%   25.00%    0.00%    100 ";
    EXPECT_EQ(lines[1].substr(0, fixed.size()), fixed);
    EXPECT_GE(sort_value_of(lines[1]), 75);
    EXPECT_LE(sort_value_of(lines[1]), 90);
}

TEST_F(BookProbe, MoveIntoARepetitionIsNeitherShownNorChosen) {
    // After 1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6, Ng1 repeats the position after
    // 2.Ng1, which the book knows best.
    use_book({{{entry("Nf3 Nf6 Ng1", 50, 0, 0), entry("Nf3 Nf6 Ng1 Ng8 Nf3 Nf6 e4", 1, 0, 0)}, {}}});
    std::vector<std::string> lines;
    EXPECT_EQ(probe_after("Nf3 Nf6 Ng1 Ng8 Nf3 Nf6", lines), "e2e4");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 7), " e2-e4 ");
}

TEST_F(BookProbe, ChoiceGoesToTheBestValueAndNeverToWeightZero) {
    const struct {
        const char* name;
        BookTables book;
        const char* chosen;
        std::vector<int> zero_values;  // table lines whose value must be 0
    } cases[] = {
        {"learn 0 beats nothing", {{{entry("e4", 10, 0, 0, 0), entry("d4", 1, 0, 0)}, {}}}, "d2d4", {1}},
        {"all learn 0", {{{entry("e4", 10, 0, 0, 0), entry("d4", 1, 0, 0, 0)}, {}}}, "", {1, 2}},
        {"only losses", {{{entry("e4", 0, 3, 0)}, {}}}, "", {1}},
        // 90% of ten games out of eleven against one won game: 81 against 9,
        // more than the random term can bridge.
        {"share of the games", {{{entry("d4", 1, 0, 0), entry("e4", 9, 1, 0)}, {}}}, "e2e4", {}},
        {"weight raises a rare move", {{{entry("d4", 1, 0, 0, 1600), entry("e4", 9, 1, 0)}, {}}},
         "d2d4", {}},
        {"black table for black", {{{entry("e4", 0, 1, 0)}, {entry("e4 e5", 1, 0, 0)}}}, "", {}},
    };
    for (const auto& c : cases) {
        use_book(c.book);
        std::vector<std::string> lines;
        EXPECT_EQ(probe_after("", lines), c.chosen) << c.name;
        for (int line : c.zero_values) {
            ASSERT_LT(size_t(line), lines.size()) << c.name;
            EXPECT_EQ(sort_value_of(lines[size_t(line)]), 0) << c.name << ": " << lines[size_t(line)];
        }
    }
    use_book({{{entry("e4", 0, 1, 0)}, {entry("e4 e5", 1, 0, 0)}}});
    std::vector<std::string> lines;
    EXPECT_EQ(probe_after("e4", lines), "e7e5");
}

TEST_F(BookProbe, ShowBookListsTheBookMovesOfAPosition) {
    use_book({{{entry("e4", 2, 0, 0), entry("d4", 1, 0, 1)}, {}}});
    play_san(board, "");
    testing::internal::CaptureStdout();
    show_book(board);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 7), " e2-e4 ");  // more games first
    EXPECT_EQ(lines[2].substr(0, 33), " d2-d4        2   50.00%    0.00%");
    EXPECT_EQ(board.hply, 0);
}

// The root search asks the book while the game had a book move within the
// last six plies, and answers a book move without searching.
class RootBookStep : public BookProbe {
protected:
    void SetUp() override {
        BookProbe::SetUp();
        init_attack_table();
        init_psq();
        clear_all_tables();
        time_control = TimeControl{};
        no_clock = ponder_mode = 0;
        pvstyle = 0;
        char depth[] = "2";
        char* args[] = {depth};
        command_sd(args, 1);
        book_enabled = true;
    }
    void TearDown() override {
        book_enabled = false;
        time_control = TimeControl{};
        BookProbe::TearDown();
    }

    Move search_after(const std::string& moves, int book_hply) {
        play_san(main_search_state, moves);
        last_book_hply = book_hply;
        testing::internal::CaptureStdout();
        const Move best = find_best_move(main_search_state);
        testing::internal::GetCapturedStdout();
        return best;
    }
};

TEST_F(RootBookStep, BookMoveIsPlayedWithoutASearchInsideTheWindow) {
    const std::string line = "Nf3 Nf6 g3 g6 Bg2 Bg7";
    use_book({{{entry(line + " a3", 1, 0, 0)}, {}}});
    const struct {
        int book_hply;
        bool from_book;
    } cases[] = {{0, true}, {5, true}, {-1, false}};
    for (const auto& c : cases) {
        const Move best = search_after(line, c.book_hply);
        char text[8];
        move_to_text(best, text);
        if (c.from_book) {
            EXPECT_EQ(std::string(text), "a2a3") << c.book_hply;
            EXPECT_EQ(main_search_state.nodes, 0u) << c.book_hply;
            EXPECT_EQ(last_book_hply, 6) << c.book_hply;
        } else {
            EXPECT_GT(main_search_state.nodes, 0u) << c.book_hply;
            EXPECT_EQ(last_book_hply, -1);
        }
    }
}

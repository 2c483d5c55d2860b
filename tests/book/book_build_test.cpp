// Building books from PGN text: what the reader takes from real-world PGN,
// what each game counts for, and when the build refuses to write a book.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "book/book_files.h"
#include "book/book_tools.h"
#include "book/random_games.h"

using namespace book_test;

namespace {

struct BuildOutcome {
    bool written;
    std::string said;
    BookTables book;
};

class BookBuild : public ScratchDir {
protected:
    // The builder replays on a board of its own: key_after uses the other.
    static SearchState& replay_board() {
        static SearchState state;
        return state;
    }

    BuildOutcome build(const std::string& pgn, int half_plies = 21, int colour = build_both_colours,
                       int size = 1000) {
        write_text(path("games.pgn"), pgn);
        std::filesystem::remove(path("book.dat"));
        testing::internal::CaptureStdout();
        const bool written = build_book(replay_board(), path("games.pgn").c_str(),
                                        path("book.dat").c_str(), size, half_plies, colour);
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(written, std::filesystem::exists(path("book.dat")));
        return {written, said, read_book(path("book.dat"))};
    }
};

// 1.e4 e5 2.Nf3 won by white, as every reading case below encodes it.
BookTables white_won_e4_e5_nf3() {
    return {{{entry("e4", 1, 0, 0), entry("e4 e5 Nf3", 1, 0, 0)}, {entry("e4 e5", 0, 1, 0)}}};
}

const std::string won = "[Result \"1-0\"]\n";

}  // namespace

TEST_F(BookBuild, ReaderTakesTheMovesOutOfRealWorldPgn) {
    const std::string long_comment(4000, 'x');
    std::string words;
    while (words.size() < 4000) words += " d4 (Nf3) 1-0 [x] 2...c5";
    const struct {
        const char* name;
        std::string pgn;
    } cases[] = {
        {"plain", won + "\n1. e4 e5 2. Nf3 1-0\n"},
        {"glued move numbers", won + "1.e4 1...e5 2.Nf3 1-0\n"},
        {"black move number", won + "1. e4 12...e5 2. Nf3 1-0\n"},
        {"NAGs and glued comment", won + "1. e4{best by test} $1 e5 $14 2. Nf3 $2 1-0\n"},
        {"annotation apart", won + "1. e4 !? e5 2. Nf3 1-0\n"},
        {"nested variations", won + "1. e4 (1. d4 d5 (1... Nf6 2. c4) 2. c4) 1... e5 (1...c5(1...e6)2.Nf3) 2. Nf3 1-0\n"},
        {"variation over lines", won + "1. e4 (1. d4\nd5 2. c4\n) e5 2. Nf3 1-0\n"},
        {"comment over lines", won + "1. e4 {a comment over\nthree lines, with 1. d4 d5 and a ( in it\n  and an indented end}\ne5 2. Nf3 1-0\n"},
        {"semicolon and escape", "% escape line e4 d4\n" + won + "1. e4 ; to the end: d4 d5\ne5 2. Nf3 1-0\n"},
        {"indented line ignored", won + "1. e4 e5\n   d4 d5\n2. Nf3 1-0\n"},
        {"long comment line", won + "1. e4 {" + long_comment + words + "} e5\n{" + words + "}\n2. Nf3 1-0\n"},
        {"long move line", won + "1. e4 e5 2. Nf3 {" + words + "} 1-0" + std::string(3000, ' ') + "\n"},
        {"carriage returns", "[Result \"1-0\"]\r\n\r\n1. e4 e5\r\n2. Nf3 1-0\r\n"},
    };
    for (const auto& c : cases) {
        const BuildOutcome out = build(c.pgn);
        EXPECT_TRUE(out.written) << c.name << "\n" << out.said;
        EXPECT_EQ(out.book, sorted(white_won_e4_e5_nf3())) << c.name;
    }
}

TEST_F(BookBuild, GamesEndAtTheirMarkerOrAtTheNextTagsAndTakeTheirResult) {
    const BuildOutcome out = build(
        "[Event \"one\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n\n"
        "[Event \"two\"]\n[Result \"1/2-1/2\"]\n\n1. e4 c5 1/2-1/2\n\n"
        // No Result tags: the marker decides; a game without either counts
        // for nothing, and moves after a marker begin a game without tags.
        "[ECO \"C20\"]\n[Opening \"King's pawn\"]\n1. e4 e5 0-1\n"
        "[ECO \"A00\"]\n1. d4 d5 2. c4\n"
        "[ECO \"A40\"]\n1. d4 e6 *\n"
        "1. e4 c5 0-1\n"
        // A tagged result wins over the marker, also an unfinished one.
        "[Result \"1-0\"]\n1. e4 e5 0-1\n"
        "[Result \"*\"]\n1. e4 e5 1-0\n");
    EXPECT_TRUE(out.written);
    const BookTables expected = {{{entry("e4", 2, 2, 1), entry("e4 e5 Nf3", 1, 0, 0)},
                                  {entry("e4 e5", 1, 2, 0), entry("e4 c5", 1, 0, 1)}}};
    EXPECT_EQ(out.book, sorted(expected));
    EXPECT_NE(out.said.find("Game 8\t\r"), std::string::npos);
    EXPECT_NE(out.said.find("games read 8, skipped 0"), std::string::npos);
}

TEST_F(BookBuild, GamesSetUpFromAFenAreSkippedAndCounted) {
    const BuildOutcome out = build(won + "[FEN \"8/8/8/8/8/8/4K3/k7 w - - 0 1\"]\n[SetUp \"1\"]\n\n1. Kd2 1-0\n\n" +
                                   won + "[SetUp \"1\"]\n1. Ke2 1-0\n" + won + "1. e4 e5 2. Nf3 1-0\n");
    EXPECT_TRUE(out.written) << out.said;
    EXPECT_EQ(out.book, sorted(white_won_e4_e5_nf3()));
    EXPECT_NE(out.said.find("\nw_positions 2\nb_positions 1\ngames read 3, skipped 2 (set up from a FEN)\n"
                            "Sorting...\nWriting...\nFinished\n"),
              std::string::npos)
        << out.said;
}

TEST_F(BookBuild, AnnotationsWeightLearnAndZeroStaysZero) {
    const BuildOutcome out = build(won + "1. e4! e5? 2. Nf3!! Nc6 3. Bb5!? 1-0\n" + won +
                                   "1. e4 e5 2. Nf3!! 1-0\n" + won + "1. e4 e5 2. Nf3!! 1-0\n");
    const BookTables expected = {
        {{entry("e4", 3, 0, 0, 400), entry("e4 e5 Nf3", 3, 0, 0, 65535), entry("e4 e5 Nf3 Nc6 Bb5", 1, 0, 0, 0)},
         {entry("e4 e5", 0, 3, 0, 0), entry("e4 e5 Nf3 Nc6", 0, 1, 0)}}};
    EXPECT_EQ(out.book, sorted(expected));
}

TEST_F(BookBuild, HalfPliesAndColourChooseThePositions) {
    const std::string game = won + "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5 1-0\n";
    const struct {
        int half_plies;
        int colour;
        size_t white_positions;
        size_t black_positions;
    } cases[] = {
        {10, build_both_colours, 5, 4}, {10, build_white_only, 5, 0}, {10, build_black_only, 0, 4},
        {1, build_both_colours, 0, 0},  {99, build_both_colours, 6, 6},
    };
    for (const auto& c : cases) {
        const BuildOutcome out = build(game, c.half_plies, c.colour);
        EXPECT_EQ(out.book.tables[white].size(), c.white_positions) << c.half_plies << " " << c.colour;
        EXPECT_EQ(out.book.tables[black].size(), c.black_positions) << c.half_plies << " " << c.colour;
    }
    // Half-move 9 (5. O-O) is the last one recorded with half_plies 10.
    const BuildOutcome recorded = build(game, 10);
    const std::vector<BookEntry>& whites = recorded.book.tables[white];
    const std::string line = "e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O";
    EXPECT_EQ(std::count(whites.begin(), whites.end(), entry(line, 1, 0, 0)), 1);
    EXPECT_EQ(std::count(whites.begin(), whites.end(), entry(line + " Be7 Re1", 1, 0, 0)), 0);
}

TEST_F(BookBuild, BadMovesAndFullTablesWriteNothing) {
    const struct {
        const char* name;
        std::string pgn;
        int size;
        std::string message;
    } cases[] = {
        {"illegal move", won + "1. e4 e5\n2. Ke3 1-0\n", 1000, "Incorrect move Ke3 at game 1 line 3\n"},
        {"unreadable token", won + "1. e4 xyz 1-0\n", 1000, "Incorrect move xyz at game 1 line 2\n"},
        {"unfinished game", won + "1. e4 1-0\n[Result \"*\"]\n1. e4 e4 *\n", 1000,
         "Incorrect move e4 at game 2 line 4\n"},
        {"full table", won + "1. e4 e5 2. Nf3 1-0\n", 1, "Book buffer overflow\n"},
    };
    for (const auto& c : cases) {
        const BuildOutcome out = build(c.pgn, 21, build_both_colours, c.size);
        EXPECT_FALSE(out.written) << c.name;
        EXPECT_NE(out.said.find(c.message), std::string::npos) << c.name << ": " << out.said;
    }
}

TEST_F(BookBuild, FilesThatCannotBeOpenedAreNamed) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(build_book(replay_board(), path("none.pgn").c_str(), path("book.dat").c_str(), 10, 10, 2));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error (cannot open file): " + path("none.pgn") + "\n");

    write_text(path("games.pgn"), won + "1. e4 1-0\n");
    const std::string unwritable = path("no/such/dir/book.dat");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(build_book(replay_board(), path("games.pgn").c_str(), unwritable.c_str(), 10, 10, 2));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Error (cannot create file): " + unwritable + "\n"),
              std::string::npos);
}

// Random games make nearly every position new, so the index grows through
// many sizes; the file must be exactly the sorted count of every position.
TEST_F(BookBuild, BookOfRandomGamesMatchesAPlainCount) {
    constexpr int games = 300;
    constexpr int half_plies = 21;
    SearchState& board = scratch_board();
    std::mt19937 random(2024);
    std::string pgn;
    std::map<HashKey, BookEntry> counted[2];
    for (int g = 1; g <= games; ++g) {
        const random_games::RandomGame game = random_games::random_game(board, random, 24);
        pgn += random_games::pgn_of(game, g);
        for (int ply = 1; ply < half_plies; ++ply) {
            const int table = ply % 2 == 1 ? white : black;
            BookEntry& e = counted[table][game.keys[size_t(ply - 1)]];
            e.key = game.keys[size_t(ply - 1)];
            const bool mover_won = game.result == (table == white ? "1-0" : "0-1");
            if (game.result == "1/2-1/2") ++e.draws;
            else if (mover_won) ++e.wins;
            else ++e.losses;
        }
    }
    BookTables expected;
    for (int side : {white, black})
        for (const auto& [key, e] : counted[side]) expected.tables[side].push_back(e);
    ASSERT_GT(expected.tables[black].size(), 2000u);
    write_book(path("expected.dat"), expected);

    const int needed = int(std::max(expected.tables[white].size(), expected.tables[black].size()));
    const BuildOutcome out = build(pgn, half_plies, build_both_colours, needed);
    ASSERT_TRUE(out.written);
    std::ifstream built(path("book.dat"), std::ios::binary), plain(path("expected.dat"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(built), {}),
              std::string(std::istreambuf_iterator<char>(plain), {}));
    EXPECT_FALSE(build(pgn, half_plies, build_both_colours, needed - 1).written);
}

// The opening book over pipes: a book built from a small PGN file in the
// engine's directory, listed by `book`, played from in a game until the game
// leaves it, and switched off by `book off`.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* book_header = "  Move   Played     +        -        =     Learn  Sortv";

// Black won both games of 1.e4 e5 2.Nf3 Nc6, white the one of 1.d4 d5 2.c4.
constexpr const char* games =
    "[Event \"one\"]\n[Result \"0-1\"]\n\n1. e4 e5 2. Nf3 Nc6 0-1\n\n"
    "[Event \"two\"]\n[Result \"0-1\"]\n\n1. e4 e5 2. Nf3 Nc6 0-1\n\n"
    "[Event \"three\"]\n[Result \"1-0\"]\n\n1. d4 d5 2. c4 1-0\n";

bool starts_with(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// The lines up to the answer to `name <tag>`, which marks the end of what
// the commands before it printed.
Lines lines_before_hello(EngineProcess& engine, const std::string& tag) {
    send_line(engine, "name " + tag);
    Lines lines;
    EXPECT_TRUE(wait_for(engine, "Hello " + tag + "!", &lines));
    return lines;
}

}  // namespace

TEST(Book, BuiltBookIsListedPlayedFromAndSwitchedOff) {
    EngineProcess engine;
    write_engine_file(engine, "games.pgn", games);
    ASSERT_TRUE(start_game_engine(engine));
    // No book.dat yet: `book` lists nothing.
    EXPECT_EQ(finish_game(engine, {"book", "build games.pgn book.dat 100 10 both"}),
              (Lines{"Game 1\t\rGame 2\t\rGame 3\t\r", "w_positions 4", "b_positions 3",
                     "games read 3, skipped 0 (set up from a FEN)", "Sorting...", "Writing...", "Finished",
                     "Bye Bye"}));

    // The next start in the same directory opens the new book.
    close_input(engine);
    engine.output_closed = false;
    engine.buffered.clear();
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "book");
    const Lines listed = lines_before_hello(engine, "Listed");
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], book_header);
    EXPECT_TRUE(starts_with(listed[1], " e2-e4        2    0.00%  100.00%    0.00%    100      0")) << listed[1];
    EXPECT_TRUE(starts_with(listed[2], " d2-d4        1  100.00%    0.00%    0.00%    100 ")) << listed[2];

    // The engine plays black from the book while the game is in it.
    send_line(engine, "new");
    send_line(engine, "sd 2");
    send_line(engine, "e2e4");
    Lines reply = game_lines_until(engine, "move ");
    ASSERT_EQ(reply.size(), 3u);
    EXPECT_EQ(reply[0], book_header);
    EXPECT_TRUE(starts_with(reply[1], " e7-e5        2  100.00%    0.00%    0.00%    100 ")) << reply[1];
    EXPECT_EQ(reply[2], "move e7e5");
    send_line(engine, "g1f3");
    reply = game_lines_until(engine, "move ");
    ASSERT_EQ(reply.size(), 3u);
    EXPECT_EQ(reply[2], "move b8c6");
    // Out of the book the engine searches, and no table is printed.
    send_line(engine, "f1c4");
    reply = game_lines_until(engine, "move ");
    EXPECT_EQ(reply.size(), 1u);

    // Switched off, the book is neither listed nor played.
    send_line(engine, "book off");
    send_line(engine, "book");
    EXPECT_EQ(lines_before_hello(engine, "Off"), Lines{});
    send_line(engine, "new");
    send_line(engine, "e2e4");
    reply = game_lines_until(engine, "move ");
    EXPECT_EQ(reply.size(), 1u);
    EXPECT_EQ(finish_game(engine, {"book on", "new", "book"}).front(), book_header);
}

// The book the build ships: listed at the start, played from by the engine
// for both sides until the game leaves it, then never again once the book
// window has passed; `book off` makes the engine search at once.
TEST(Book, ShippedBookOpensTheGameUntilTheGameLeavesIt) {
    EngineProcess engine;
    use_shipped_book(engine);
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "book");
    const Lines listed = lines_before_hello(engine, "Listed");
    ASSERT_GE(listed.size(), 4u);
    EXPECT_EQ(listed[0], book_header);
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](const std::string& l) { return starts_with(l, " e2-e4"); }));

    send_line(engine, "new");
    send_line(engine, "sd 3");
    int book_moves = 0, searched_in_a_row = 0, book_after_leaving = 0;
    for (int ply = 0; ply < 30; ++ply) {
        send_line(engine, "go");
        const Lines reply = game_lines_until(engine, "move ");
        ASSERT_FALSE(reply.empty()) << "no move at ply " << ply;
        const bool from_book = reply.front() == book_header;
        if (from_book) {
            ++book_moves;
            if (searched_in_a_row > 6) ++book_after_leaving;
            searched_in_a_row = 0;
        } else {
            EXPECT_EQ(reply.size(), 1u) << reply.front();
            ++searched_in_a_row;
        }
        if (ply == 0) {
            EXPECT_TRUE(from_book) << "the first move is not a book move";
        }
    }
    EXPECT_GE(book_moves, 4);
    EXPECT_LE(book_moves, 20);  // the book holds the first 20 half-moves
    EXPECT_GT(searched_in_a_row, 6);
    EXPECT_EQ(book_after_leaving, 0);

    send_line(engine, "book off");
    send_line(engine, "new");
    send_line(engine, "go");
    EXPECT_EQ(game_lines_until(engine, "move ").size(), 1u);
    finish_game(engine, {});
}

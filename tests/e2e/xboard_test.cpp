// The xboard handshake and the engine's own settings commands over pipes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

const std::string feature_line =
    "feature sigint=0 sigterm=0 setboard=1 draw=0 colors=0 name=1 myname=\"Velkan_1.0\"";

}  // namespace

TEST(Xboard, ProtoverAnswersWithTheFeaturesThenDone) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    EXPECT_EQ(finish_game(engine, {"xboard", "protover 2"}), (Lines{feature_line, "feature done=1", "Bye Bye"}));
}

TEST(Xboard, ProtoverInTheConfigurationFileDoesNotWaitForTheLoader) {
    EngineProcess engine;
    write_engine_file(engine, "velkan.ini", "personality default\nprotover 2\n");
    start_engine(engine);
    std::vector<std::string> lines;
    ASSERT_TRUE(wait_for(engine, "feature done=1", &lines, 5000));
    EXPECT_EQ(lines, (Lines{"feature done=0", feature_line}));
    EXPECT_EQ(finish_game(engine, {"name Ready"}).back(), "Bye Bye");
}

TEST(Xboard, ThreadCountIsCappedAndReported) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    // Each thread started or ended has its line, up in slot order and back
    // down from the top slot.
    Lines expected;
    for (int slot = 1; slot <= 7; ++slot)
        expected.push_back("+ Thread " + std::to_string(slot) + " started.");
    expected.push_back("processors [8]");
    for (int slot = 7; slot >= 2; --slot)
        expected.push_back("- Thread " + std::to_string(slot) + " terminated.");
    expected.push_back("processors [2]");
    expected.push_back("- Thread 1 terminated.");
    expected.push_back("processors [1]");
    expected.push_back("Bye Bye");
    EXPECT_EQ(finish_game(engine, {"mt 12", "cores 2", "cores 0"}), expected);
}

TEST(Xboard, ToolsTakeTheirArgumentsAndNameAMissingFile) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    EXPECT_EQ(finish_game(engine, {"build games.pgn out.dat 1000 20 white name A",
                                   "merge a.dat b.dat c.dat 1 2 runeval x.epd runsearch y.epd", "book",
                                   "book off book", "name B"}),
              (Lines{"Error (cannot open file): games.pgn", "Hello A!", "Error (cannot open file): a.dat",
                     "epd file not found!", "epd file not found!", "Hello B!", "Bye Bye"}));
}

TEST(Xboard, HelpGoesToStandardOutputOnly) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    const Lines out = finish_game(engine, {"log on", "help", "name Logged"});
    ASSERT_GE(out.size(), 52u);
    EXPECT_EQ(out.front(), ". -- Send a search status update while analyzing.");
    EXPECT_EQ(out[out.size() - 3], "xboard -- Request xboard mode (the default).");
    const std::string log = read_engine_file(engine, "log/log000.txt");
    EXPECT_NE(log.find("Hello Logged!"), std::string::npos);
    EXPECT_EQ(log.find("Request xboard mode"), std::string::npos);
}

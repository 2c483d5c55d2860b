// Start-up over pipes: the first announcement, the configuration file, the
// program arguments, the end of input and the numbered log files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/engine_process.h"
#include "protocol/console.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

}  // namespace

TEST(Startup, AnnouncesFeatureDoneZeroFirstAndEndsCleanlyAtEndOfInput) {
    EngineProcess engine;
    const std::vector<std::string> out = run_session(engine, {});
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), "feature done=0");
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(Startup, MissingConfigurationFileEndsTheProgram) {
    EngineProcess engine;
    fs::remove(engine_path(engine, "velkan.ini"));
    const std::vector<std::string> out = run_session(engine, {"name Nobody"});
    EXPECT_EQ(out, (std::vector<std::string>{"feature done=0", "Velkan.ini not found!"}));
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(Startup, ConfigurationFileIsOneCommandLine) {
    EngineProcess engine;
    // The argument of `name` is on the next line, and a comment line between
    // commands is skipped however long it is.
    write_engine_file(engine, "velkan.ini",
                      "# settings\nname\nFirst\n/" + std::string(300, 'x') + " name Comment\n\nname Second\n");
    const std::vector<std::string> out = run_session(engine, {"name Input"});
    EXPECT_EQ(out, (std::vector<std::string>{"feature done=0", "Hello First!", "Hello Second!",
                                             "loading_time = 0s", "Hello Input!"}));
}

TEST(Startup, QuitInConfigurationFileEndsBeforeInputIsRead) {
    EngineProcess engine;
    write_engine_file(engine, "velkan.ini", "quit\n");
    const std::vector<std::string> out = run_session(engine, {"name Input"}, {"name", "Argument"});
    EXPECT_EQ(out, (std::vector<std::string>{"feature done=0", "Bye Bye"}));
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(Startup, ArgumentsRunAfterTheConfigurationFileAndBeforeInput) {
    EngineProcess engine;
    write_engine_file(engine, "velkan.ini", "name Config\n");
    const std::vector<std::string> out = run_session(engine, {"name Input"}, {"name", "Argument"});
    // The bitbase loader runs after the configuration file, before the arguments.
    EXPECT_EQ(out, (std::vector<std::string>{"feature done=0", "Hello Config!", "loading_time = 0s",
                                             "Hello Argument!", "Hello Input!"}));

    EngineProcess quitting;
    const std::vector<std::string> ended = run_session(quitting, {"name Input"}, {"quit"});
    EXPECT_FALSE(contains(ended, "Hello Input!"));
    EXPECT_EQ(quitting.exit_code, 0);
}

TEST(Startup, OverlongConfigurationIsCutAtALine) {
    EngineProcess engine;
    std::string ini;
    // One line more than the configuration text holds.
    for (int i = 0; i <= command_text_size / 9; ++i) ini += "computer\n";
    write_engine_file(engine, "velkan.ini", ini + "name Late\n");
    const std::vector<std::string> out = run_session(engine, {"name Input"});
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[1].rfind("Error (velkan.ini too long)", 0), 0u);
    EXPECT_FALSE(contains(out, "Hello Late!"));
    EXPECT_EQ(out.back(), "Hello Input!");
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(LogFile, TakesTheFirstFreeNumber) {
    EngineProcess engine;
    for (int n = 0; n < 5; ++n) write_engine_file(engine, "log/log00" + std::to_string(n) + ".txt", "old\n");
    run_session(engine, {});
    EXPECT_TRUE(fs::exists(engine_path(engine, "log/log005.txt")));
    EXPECT_FALSE(fs::exists(engine_path(engine, "log/log006.txt")));
    EXPECT_EQ(read_engine_file(engine, "log/log000.txt"), "old\n");
}

TEST(LogFile, MissingLogDirectoryMeansNoLog) {
    EngineProcess engine;
    fs::remove_all(engine_path(engine, "log"));
    const std::vector<std::string> out = run_session(engine, {"log on", "name Bob"});
    EXPECT_TRUE(contains(out, "Hello Bob!"));
    EXPECT_FALSE(fs::exists(engine_path(engine, "log")));
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(LogFile, LogsStampedInputAndPlainReplies) {
    EngineProcess engine;
    run_session(engine, {"name Hidden", "log on", "name Bob", "log off", "name Gone"});
    const std::string log = read_engine_file(engine, "log/log000.txt");
    // "<" twelve digits ">" then the line as read.
    const size_t stamp = log.find("name Bob\n");
    ASSERT_NE(stamp, std::string::npos) << log;
    ASSERT_GE(stamp, 14u);
    const std::string prefix = log.substr(stamp - 14, 14);
    EXPECT_EQ(prefix.front(), '<');
    EXPECT_EQ(prefix.back(), '>');
    EXPECT_EQ(prefix.substr(1, 12).find_first_not_of("0123456789"), std::string::npos) << prefix;
    EXPECT_NE(log.find("\nHello Bob!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("log off\n"), std::string::npos);
    EXPECT_EQ(log.find("Hidden"), std::string::npos);
    EXPECT_EQ(log.find("Gone"), std::string::npos);
}

// Finding the installed data and the per-user log directory.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "protocol/install.h"

namespace {

std::string log_dir_for(const char* state_home, const char* home) {
    char out[data_dir_size];
    user_log_dir(state_home, home, out, sizeof out);
    return out;
}

std::string resolved(const char* dir, const char* path) {
    char saved[data_dir_size];
    std::snprintf(saved, sizeof saved, "%s", data_dir);
    std::snprintf(data_dir, sizeof data_dir, "%s", dir);
    char text[256];
    std::snprintf(text, sizeof text, "%s", path);
    resolve_data_dir_path(text, sizeof text);
    std::snprintf(data_dir, sizeof data_dir, "%s", saved);
    return text;
}

}  // namespace

TEST(Install, PerUserLogDirectory) {
    const struct {
        const char* state_home;
        const char* home;
        const char* dir;
    } cases[] = {
        {"/s", "/h", "/s/velkan/log"},
        {nullptr, "/home/ann", "/home/ann/.local/state/velkan/log"},
        {"", "/home/ann", "/home/ann/.local/state/velkan/log"},
        {"relative", "/home/ann", "/home/ann/.local/state/velkan/log"},  // only an absolute one counts
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(log_dir_for(c.state_home, c.home), c.dir)
            << (c.state_home ? c.state_home : "(unset)") << " " << (c.home ? c.home : "(unset)");
}

TEST(Install, DataDirectoryLiesBesideTheProgram) {
    char out[data_dir_size];
    installed_data_dir("/usr/games/velkan64", "../share/games/velkan", out, sizeof out);
    EXPECT_STREQ(out, "/usr/games/../share/games/velkan/");
    installed_data_dir("/opt/v/bin/velkan64", "../share/velkan", out, sizeof out);
    EXPECT_STREQ(out, "/opt/v/bin/../share/velkan/");
}

TEST(Install, RelativeDirectoriesOfTheInstalledConfigurationLieInTheDataDirectory) {
    EXPECT_EQ(resolved("/usr/share/games/velkan/", "./egbb/"), "/usr/share/games/velkan/egbb/");
    EXPECT_EQ(resolved("/usr/share/games/velkan/", "tables/"), "/usr/share/games/velkan/tables/");
    EXPECT_EQ(resolved("/usr/share/games/velkan/", "/srv/egbb/"), "/srv/egbb/");
    // In a run directory paths stay as they are.
    EXPECT_EQ(resolved("", "./egbb/"), "./egbb/");
    char name[64];
    EXPECT_STREQ(data_path("book.dat", name, sizeof name), "book.dat");
}

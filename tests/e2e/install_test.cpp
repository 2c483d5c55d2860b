// The engine as installed: the program in bin/ and its data beside it in
// share/velkan/ (the layout `cmake --install` makes), started from a working
// directory that holds nothing of it, as a GUI that knows only the program
// starts it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An installed tree in a fresh temporary directory: prefix/bin/velkan64 and
// the run directory's files (logs and program left out) in its data
// directory; an empty working directory and an empty home beside them.
class InstalledTree {
public:
    fs::path root, bin, data, work, home;

    InstalledTree() {
        std::string pattern = (fs::temp_directory_path() / "velkan-install-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root = pattern;
        bin = root / "prefix" / "bin";
        data = (bin / VELKAN_DATA_FROM_BIN).lexically_normal();
        work = root / "work";
        home = root / "home";
        for (const fs::path& dir : {bin, data, work, home}) fs::create_directories(dir);
        fs::copy_file(VELKAN_BINARY, bin / "velkan64");
        for (const fs::directory_entry& entry : fs::directory_iterator(VELKAN_RUN_DIR)) {
            const std::string name = entry.path().filename().string();
            if (name == "log" || name == "velkan64") continue;
            // The bitbase tables are large and only read: linked, not copied.
            if (name == "egbb")
                fs::create_directory_symlink(entry.path(), data / name);
            else
                fs::copy(entry.path(), data / name, fs::copy_options::recursive);
        }
    }
    ~InstalledTree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // Runs the installed program in `dir` with these input lines and this
    // environment prefix (HOME is the tree's home unless env sets it);
    // returns its output lines.
    std::vector<std::string> run(const fs::path& dir, const std::string& input, const std::string& env = "") {
        const fs::path in = root / "input.txt";
        const fs::path out = root / "output.txt";
        std::ofstream(in) << input;
        const std::string command = "cd '" + dir.string() + "' && env -u XDG_STATE_HOME HOME='" + home.string() +
                                    "' " + env + " '" + (bin / "velkan64").string() + "' < '" + in.string() +
                                    "' > '" + out.string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<std::string> lines;
        std::istringstream text(read_file(out));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

}  // namespace

TEST(Installed, RunsFromAnyDirectoryWithItsInstalledData) {
    InstalledTree tree;
    const std::vector<std::string> out = tree.run(tree.work, "book\nlog on\nname Bob\nquit\n");
    // The installed velkan.ini ran (its table sizes), its personality was
    // found, the book lists moves for the start position.
    EXPECT_TRUE(contains(out, "ht 1048576 X 64 = 64MB")) << out.size();
    for (const std::string& line : out) EXPECT_EQ(line.find("not found"), std::string::npos) << line;
    EXPECT_TRUE(contains(out, "Hello Bob!"));
    bool book_listed = false;
    for (const std::string& line : out) book_listed = book_listed || line.rfind(" e2-e4 ", 0) == 0;
    EXPECT_TRUE(book_listed);
    // Logs go to the per-user state directory, made on the way; nothing is
    // written to the working directory.
    const std::string log = read_file(tree.home / ".local/state/velkan/log/log000.txt");
    EXPECT_NE(log.find("name Bob\n"), std::string::npos) << log;
    EXPECT_TRUE(fs::is_empty(tree.work));

    // XDG_STATE_HOME, when set, takes the logs instead.
    tree.run(tree.work, "log on\nname Ann\n", "XDG_STATE_HOME='" + (tree.root / "state").string() + "'");
    EXPECT_NE(read_file(tree.root / "state/velkan/log/log000.txt").find("name Ann\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(tree.home / ".local/state/velkan/log/log001.txt"));
}

TEST(Installed, ARunDirectoryOfItsOwnWins) {
    InstalledTree tree;
    // As xboard -fd DIR gives: the directory's velkan.ini, personality/ and
    // ./log, and nothing of the installed data.
    std::ofstream(tree.work / "velkan.ini") << "personality mine\nname RunDir\n";
    fs::create_directories(tree.work / "log");
    const std::vector<std::string> out = tree.run(tree.work, "log on\nname Bob\n");
    EXPECT_TRUE(contains(out, "Personality mine not found!"));
    EXPECT_TRUE(contains(out, "Hello RunDir!"));
    EXPECT_FALSE(contains(out, "ht 1048576 X 64 = 64MB"));
    EXPECT_NE(read_file(tree.work / "log/log000.txt").find("name Bob\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(tree.home / ".local"));
}

TEST(Installed, WithoutAnyConfigurationTheEngineSaysSo) {
    InstalledTree tree;
    fs::remove(tree.data / "velkan.ini");
    const std::vector<std::string> out = tree.run(tree.work, "name Bob\n");
    EXPECT_EQ(out, (std::vector<std::string>{"feature done=0", "Velkan.ini not found!"}));
}

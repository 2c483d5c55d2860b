#include "e2e/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

int elapsed_ms(std::chrono::steady_clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
                   .count());
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

EngineProcess::EngineProcess() {
    std::string pattern = (fs::temp_directory_path() / "velkan-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
    for (const fs::directory_entry& entry : fs::directory_iterator(VELKAN_RUN_DIR)) {
        const fs::path target = fs::path(dir) / entry.path().filename();
        // The bitbase library and its tables are large and only read: linked, not copied.
        if (entry.path().filename() == "egbb")
            fs::create_directory_symlink(entry.path(), target);
        else
            fs::copy(entry.path(), target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    // Logs left in the build's run directory by manual runs would shift the
    // log numbering: every copy starts with an empty log directory.
    fs::remove_all(fs::path(dir) / "log");
    fs::create_directory(fs::path(dir) / "log");
    // Searches from the starting position would answer from the shipped book;
    // tests that want it put it back with use_shipped_book.
    fs::remove(fs::path(dir) / "book.dat");
}

EngineProcess::~EngineProcess() {
    close_fd(to_engine);
    close_fd(from_engine);
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void use_shipped_book(const EngineProcess& engine) {
    fs::copy_file(fs::path(VELKAN_RUN_DIR) / "book.dat", fs::path(engine.dir) / "book.dat",
                  fs::copy_options::overwrite_existing);
}

std::string engine_path(const EngineProcess& engine, const std::string& name) {
    return (fs::path(engine.dir) / name).string();
}

void write_engine_file(const EngineProcess& engine, const std::string& name, const std::string& text) {
    std::ofstream out(engine_path(engine, name), std::ios::binary | std::ios::trunc);
    out << text;
}

std::string read_engine_file(const EngineProcess& engine, const std::string& name) {
    std::ifstream in(engine_path(engine, name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void without_bitbases(const EngineProcess& engine) {
    write_engine_file(engine, "velkan.ini", read_engine_file(engine, "velkan.ini") + "egbb_load_type 0\n");
}

void start_engine(EngineProcess& engine, const std::vector<std::string>& args) {
    int input[2];
    int output[2];
    if (pipe(input) != 0 || pipe(output) != 0) throw std::runtime_error("pipe failed");
    // A write to an engine that has already exited must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> words = {VELKAN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(input[0], 0);
        dup2(output[1], 1);
        close(input[0]);
        close(input[1]);
        close(output[0]);
        close(output[1]);
        if (chdir(engine.dir.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    engine.pid = pid;
    engine.to_engine = input[1];
    engine.from_engine = output[0];
}

void send_raw(EngineProcess& engine, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(engine.to_engine, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += size_t(written);
    }
}

void send_line(EngineProcess& engine, const std::string& line) { send_raw(engine, line + "\n"); }

void close_input(EngineProcess& engine) { close_fd(engine.to_engine); }

bool read_line(EngineProcess& engine, std::string& line, int timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    while (true) {
        const size_t end = engine.buffered.find('\n');
        if (end != std::string::npos) {
            line = engine.buffered.substr(0, end);
            engine.buffered.erase(0, end + 1);
            return true;
        }
        if (engine.output_closed) {
            if (engine.buffered.empty()) return false;
            line = engine.buffered;
            engine.buffered.clear();
            return true;
        }
        const int left = timeout_ms - elapsed_ms(start);
        if (left <= 0) return false;
        pollfd request{engine.from_engine, POLLIN, 0};
        const int ready = poll(&request, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        const ssize_t got = read(engine.from_engine, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            engine.output_closed = true;
        else
            engine.buffered.append(chunk, size_t(got));
    }
}

bool wait_for(EngineProcess& engine, const std::string& text, std::vector<std::string>* before, int timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    std::string line;
    while (read_line(engine, line, std::max(0, timeout_ms - elapsed_ms(start)))) {
        if (line.find(text) != std::string::npos) return true;
        if (before) before->push_back(line);
    }
    return false;
}

std::vector<std::string> read_all_lines(EngineProcess& engine, int timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> lines;
    std::string line;
    while (read_line(engine, line, std::max(0, timeout_ms - elapsed_ms(start)))) lines.push_back(line);
    return lines;
}

int wait_exit(EngineProcess& engine, int timeout_ms) {
    if (engine.pid <= 0) return engine.exit_code;
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (true) {
        const pid_t done = waitpid(engine.pid, &status, WNOHANG);
        if (done == engine.pid) break;
        if (elapsed_ms(start) > timeout_ms) {
            kill(engine.pid, SIGKILL);
            waitpid(engine.pid, nullptr, 0);
            engine.pid = -1;
            engine.exit_code = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.pid = -1;
    engine.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return engine.exit_code;
}

std::vector<std::string> run_session(EngineProcess& engine, const std::vector<std::string>& lines,
                                     const std::vector<std::string>& args) {
    start_engine(engine, args);
    for (const std::string& line : lines) send_line(engine, line);
    close_input(engine);
    std::vector<std::string> output = read_all_lines(engine);
    wait_exit(engine);
    return output;
}

// The shipped velkan.ini sizes the three tables before the bitbase loader
// binds the library in egbb/.
const std::vector<std::string> startup_lines = {"feature done=0", "ht 1048576 X 64 = 64MB",
                                                "pht 262144 X 16 = 4MB", "eht 1048576 X 16 = 16MB",
                                                "loading_time = 0s"};

std::vector<std::string> without_startup(std::vector<std::string> output) {
    size_t matched = 0;
    while (matched < startup_lines.size() && matched < output.size() &&
           output[matched] == startup_lines[matched])
        ++matched;
    output.erase(output.begin(), output.begin() + long(matched));
    return output;
}

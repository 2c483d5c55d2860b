#include "fuzz_common.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "board/board.h"
#include "board/notation.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "protocol/game.h"
#include "protocol/install.h"
#include "search/search.h"

namespace {

bool ready = false;
EvalParams initial_params[3];
std::string scratch_dir;

void remove_scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir, ignored);
}

void set_up_once() {
    // Replies would fill the fuzzer's console: they go nowhere.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    const int null_input = open("/dev/null", O_RDONLY);
    if (null_input < 0 || dup2(null_input, 0) < 0) std::abort();
    close(null_input);
    // A scratch directory of our own, with the personality folder the
    // personality loader reads from.
    std::string pattern = (std::filesystem::temp_directory_path() / "velkan-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    scratch_dir = pattern;
    std::atexit(remove_scratch_dir);
    std::filesystem::create_directory(std::filesystem::path(pattern) / "personality");
    // The data directory is where the personality loader looks; the working
    // directory stays, for the corpus paths libFuzzer was given.
    std::snprintf(data_dir, sizeof data_dir, "%s/", pattern.c_str());
    init_attack_table();
    init_psq();
    for (int i = 0; i < 3; ++i) initial_params[i] = eval_param_sets[i];
    ready = true;
}

}  // namespace

void fresh_engine() {
    if (!ready) set_up_once();
    new_position(game);
    reset_control_state();
    for (int i = 0; i < 3; ++i) eval_param_sets[i] = initial_params[i];
    game_result = game_running;
    analysis_mode = false;
    ponder_enabled = false;
    quit_requested = false;
    abort_flag = 0;
}

std::string scratch_path(const char* name) { return scratch_dir + "/" + name; }

std::string write_input_file(const char* name, const uint8_t* data, size_t size) {
    const std::string path = scratch_path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path;
}

#include "bitbase/bitbase.h"

#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "protocol/console.h"

char egbb_path[256] = "./egbb/";
int egbb_cache_size = 4;
int egbb_load_type = 1;
bool bitbases_loaded = false;

namespace {

// The library's exports. The path is passed as it was configured.
using LoadFunction = void (*)(char* path, int cache_bytes, int load_type);
using ProbeFunction = int (*)(int side, int white_king, int black_king, int piece1, int square1,
                              int piece2, int square2, int piece3, int square3);

constexpr long long bytes_per_megabyte = 1048576;

// The men handed to the probe besides the kings, in slot order.
constexpr int slot_order[] = {white_pawn, white_knight, white_bishop, white_rook, white_queen,
                              black_pawn, black_knight, black_bishop, black_rook, black_queen};

// The loader thread, joined at exit: it may still be on its way out when
// the program ends right after start-up.
struct LoaderThread {
    std::thread thread;
    ~LoaderThread() {
        if (thread.joinable()) thread.join();
    }
};

LoaderThread loader_thread;
bool loader_started = false;
void* library_handle = nullptr;
ProbeFunction probe_function = nullptr;

void release_library() {
    probe_function = nullptr;
    if (library_handle) dlclose(library_handle);
    library_handle = nullptr;
}

}  // namespace

void start_bitbase_loader() {
    if (loader_started) return;
    loader_started = true;
    loader_thread.thread = std::thread(load_bitbases);
}

bool bitbase_loader_started() { return loader_started; }

void load_bitbases() {
    const int start = now_ms();
    // The library takes its cache size as a 32-bit byte count.
    long long bytes = egbb_cache_size * bytes_per_megabyte;
    if (bytes < 0) bytes = 0;
    if (bytes > INT_MAX) bytes = INT_MAX;
    egbb_cache_size = int(bytes);
    bitbases_loaded = bind_library(egbb_path, egbb_cache_size);
    emit("loading_time = %ds\n", (now_ms() - start) / 1000);
    bitbases_ready = 1;
}

bool library_file_name(const char* path, char* name, size_t size) {
    const size_t length = std::strlen(path);
    const char* separator = "";
    if (length == 0) {
        // A bare file name would be looked up in the system's library
        // directories only; an empty path means the working directory.
        separator = "./";
    } else if (path[length - 1] != '/' && path[length - 1] != '\\') {
        separator = std::strchr(path, '\\') ? "\\" : "/";
    }
    const int written = std::snprintf(name, size, "%s%s%s", path, separator, bitbase_library_name);
    return written >= 0 && size_t(written) < size;
}

bool bind_library(const char* path, int cache_bytes) {
    release_library();
    char name[library_name_size];
    if (!library_file_name(path, name, sizeof name)) {
        emit("EgbbProbe not Loaded! Path too long.\n");
        return false;
    }
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        emit("EgbbProbe not Loaded!\n");
        return false;
    }
    auto load = reinterpret_cast<LoadFunction>(dlsym(handle, "load_egbb_5men"));
    auto probe = reinterpret_cast<ProbeFunction>(dlsym(handle, "probe_egbb_5men"));
    if (!load || !probe) {
        emit("EgbbProbe not Loaded! Missing %s.\n", load ? "probe_egbb_5men" : "load_egbb_5men");
        dlclose(handle);
        return false;
    }
    library_handle = handle;
    probe_function = probe;
    // The library gets the directory as configured, without the file name.
    char configured[sizeof egbb_path];
    std::snprintf(configured, sizeof configured, "%s", path);
    load(configured, cache_bytes, egbb_load_type);
    return true;
}

bool probe_bitbase(const SearchState& state, int& score) {
    score = 0;
    if (!probe_function) return false;
    int pieces[bitbase_slots] = {};
    int squares[bitbase_slots] = {};
    int filled = 0;
    for (const int code : slot_order) {
        for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
            // More men than the probe takes: not a bitbase position.
            if (filled == bitbase_slots) return false;
            pieces[filled] = code;
            squares[filled] = sq64(node->sq);
            ++filled;
        }
    }
    const int result = probe_function(state.to_move, sq64(king_square(state, white)),
                                      sq64(king_square(state, black)), pieces[0], squares[0],
                                      pieces[1], squares[1], pieces[2], squares[2]);
    if (result == bitbase_no_result) return false;
    score = result;
    return true;
}

bool show_bitbase_score(const SearchState& game) {
    constexpr int bitbase_men = 5;
    int score = 0;
    if (!bitbases_loaded || game.men_total > bitbase_men || !probe_bitbase(game, score))
        return false;
    emit("bitbase_score = %d\n", score);
    return true;
}

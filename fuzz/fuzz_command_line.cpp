// One command line on a fresh engine, as a line of standard input.
// Commands that start long work (searches other than a depth-2 reply,
// perft, file tools, threads, table sizes) are left out so that each input
// runs in milliseconds; the file readers have targets of their own.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "protocol/console.h"
#include "protocol/interpreter.h"

namespace {

constexpr const char* slow_commands[] = {
    "go", "analyze", "hard", "perft", "runeval", "runsearch", "build", "merge", "personality",
    "multi_personality", "mt", "cores", "ht", "pht", "eht", "sd", "st", "level", "protover",
};

bool has_slow_command(char** tokens) {
    for (; *tokens; ++tokens)
        for (const char* word : slow_commands)
            if (std::strcmp(*tokens, word) == 0) return true;
    return false;
}

void run_line(const char* text) {
    std::vector<char> line(text, text + std::strlen(text) + 1);
    static char* tokens[max_tokens];
    split_tokens(line.data(), tokens);
    execute_commands(tokens);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > size_t(max_line_length)) return 0;
    fresh_engine();
    // A move that gives the engine its turn searches two plies.
    run_line("sd 2");
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    static char* tokens[max_tokens];
    split_tokens(line.data(), tokens);
    if (has_slow_command(tokens)) return 0;
    execute_commands(tokens);
    return 0;
}

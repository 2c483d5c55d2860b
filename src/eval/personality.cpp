// Personality files: plain text of key-value pairs that fill one set of
// evaluation weights.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "eval/eval_cache.h"
#include "eval/eval_params.h"
#include "protocol/console.h"
#include "protocol/install.h"

EvalParams eval_param_sets[3];

const ParamKey param_keys[param_key_count] = {
    {"futl_margin", &EvalParams::futl_margin},
    {"exchange_scale", &EvalParams::exchange_scale},
    {"bishop_pair_scale", &EvalParams::bishop_pair_scale},
    {"king_safety_scale", &EvalParams::king_safety_scale},
    {"mobility_scale", &EvalParams::mobility_scale},
    {"pawn_structure_scale", &EvalParams::pawn_structure_scale},
    {"passed_pawn_scale", &EvalParams::passed_pawn_scale},
    {"rook_on_7th_scale", &EvalParams::rook_on_7th_scale},
    {"lazy_margin", &EvalParams::lazy_margin},
};

namespace {

constexpr int line_size = 256;          // bytes per line read, terminator included
constexpr int personality_text_size = 2048;
// Weights are clamped to this magnitude: a thousand times any sensible
// value, yet small enough that no term can overflow an int when scaled.
constexpr long max_weight = 100000;


const ParamKey* find_key(const char* token) {
    for (const ParamKey& key : param_keys)
        if (std::strcmp(key.name, token) == 0) return &key;
    return nullptr;
}

// Converts the leading digits (with an optional sign) of a value, 0 when
// there are none, clamped to +-max_weight.
int32_t parse_value(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    if (value > max_weight) return int32_t(max_weight);
    if (value < -max_weight) return int32_t(-max_weight);
    return int32_t(value);
}

// Joins the non-comment lines of the file into text. A line longer than
// the read buffer arrives in pieces: the pieces of a comment line are all
// skipped (its tail is no weight), those of other lines are joined as
// they come. Pieces that would overflow the text are dropped; false when
// that happened.
bool read_personality_text(FILE* file, char* text) {
    char line[line_size];
    size_t length = 0;
    bool complete = true;
    bool line_start = true;
    bool comment = false;
    text[0] = '\0';
    while (std::fgets(line, sizeof line, file)) {
        if (line_start) comment = line[0] == '\n' || line[0] == '#' || line[0] == '/';
        const size_t line_length = std::strlen(line);
        line_start = line_length > 0 && line[line_length - 1] == '\n';
        if (comment) continue;
        if (length + line_length >= personality_text_size) {
            complete = false;
            continue;
        }
        std::memcpy(text + length, line, line_length + 1);
        length += line_length;
    }
    return complete;
}

// Walks the key-value pairs of the joined text into one set.
void apply_tokens(char* text, EvalParams& params) {
    constexpr const char* separators = " \t\r\n";
    char* cursor = nullptr;
    for (char* token = strtok_r(text, separators, &cursor); token;
         token = strtok_r(nullptr, separators, &cursor)) {
        const ParamKey* key = find_key(token);
        if (!key) {
            emit("unknown command: %s\n", token);
            continue;
        }
        char* value = strtok_r(nullptr, separators, &cursor);
        if (!value) {
            emit("missing value: %s\n", token);
            return;
        }
        params.*(key->field) = parse_value(value);
    }
}

}  // namespace

bool load_personality(const char* name, int set) {
    char file_name[line_size + 32];
    std::snprintf(file_name, sizeof file_name, "personality/%s.per", name);
    char path[data_dir_size + sizeof file_name];
    data_path(file_name, path, int(sizeof path));
    FILE* file = std::fopen(path, "r");
    if (!file) {
        emit("Personality %s not found!\n", name);
        return false;
    }
    char text[personality_text_size];
    const bool complete = read_personality_text(file, text);
    std::fclose(file);
    log_only("========== %s ===============\n", name);
    log_only("%s", text);
    log_only("\n");
    if (!complete) emit("Personality %s too long: some lines ignored\n", name);
    apply_tokens(text, eval_param_sets[set]);
    // Cached evaluations were made with the old weights.
    clear_eval_table(main_eval_cache);
    return true;
}

bool command_personality(const char* name) {
    if (!load_personality(name, opening_set)) return false;
    eval_param_sets[middlegame_set] = eval_param_sets[opening_set];
    eval_param_sets[endgame_set] = eval_param_sets[opening_set];
    return true;
}

bool command_multi_personality(const char* opening, const char* middlegame,
                               const char* endgame) {
    return load_personality(opening, opening_set) && load_personality(middlegame, middlegame_set) &&
           load_personality(endgame, endgame_set);
}

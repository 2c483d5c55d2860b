#pragma once
// Loads the engine's first personality (run/personality/default.per of the
// source tree, found from this file's directory), so that a bench measures
// the evaluation with every term weighted. The benches keep these weights
// while the phase files that velkan.ini loads are retuned, so that the
// search bench's signature moves only with the search and evaluation code.

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "eval/eval_params.h"

// Loads the personality that run directory `dir` plays with: the last
// `personality` or `multi_personality` line of its velkan.ini, or the
// default personality when the file names none.
inline bool load_personality_of(const char* dir) {
    char previous[1024];
    if (!getcwd(previous, sizeof previous) || chdir(dir) != 0) return false;
    char names[3][256] = {"default", "", ""};
    bool multi = false;
    if (FILE* ini = std::fopen("velkan.ini", "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, ini)) {
            char a[256], b[256], c[256];
            if (std::sscanf(line, "multi_personality %255s %255s %255s", a, b, c) == 3) {
                std::strcpy(names[0], a), std::strcpy(names[1], b), std::strcpy(names[2], c);
                multi = true;
            } else if (std::sscanf(line, "personality %255s", a) == 1) {
                std::strcpy(names[0], a);
                multi = false;
            }
        }
        std::fclose(ini);
    }
    const bool loaded = multi ? command_multi_personality(names[0], names[1], names[2])
                              : command_personality(names[0]);
    return chdir(previous) == 0 && loaded;
}

// Loads the default personality of run directory `dir`.
inline bool load_default_personality_of(const char* dir) {
    char previous[1024];
    if (!getcwd(previous, sizeof previous) || chdir(dir) != 0) return false;
    const bool loaded = command_personality("default");
    return chdir(previous) == 0 && loaded;
}

inline bool load_shipped_personality() {
    char run_dir[1024];
    std::snprintf(run_dir, sizeof run_dir, "%s", __FILE__);
    if (char* slash = std::strrchr(run_dir, '/')) *slash = 0;
    std::strncat(run_dir, "/../run", sizeof run_dir - std::strlen(run_dir) - 1);
    return load_default_personality_of(run_dir);
}

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

// Loads the default personality of run directory `dir`.
inline bool load_personality_of(const char* dir) {
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
    return load_personality_of(run_dir);
}

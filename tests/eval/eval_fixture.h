#pragma once
// Shared set-up of the evaluation tests: the static tables built once, the
// parameter sets and the main cache reset around every test, and a helper
// that loads a personality file from a given directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "board/notation.h"
#include "eval/eval_cache.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/pawn_table.h"
#include "eval/psq.h"
#include "eval/terms.h"

// Loads "personality/<name>.per" relative to dir into set 0 and copies it
// to the other sets; the working directory is restored afterwards.
inline bool load_personality_from(const std::string& dir, const char* name) {
    char previous[4096];
    if (!getcwd(previous, sizeof previous) || chdir(dir.c_str()) != 0) return false;
    const bool loaded = command_personality(name);
    if (chdir(previous) != 0) return false;
    return loaded;
}

// Runs the full evaluation's steps up to and including the piece visit on
// the position held (pawn maps, pawn structure from an empty pawn hash,
// pieces), so that a later term can be called on finished attack maps.
inline PieceSums visit_pieces_of(SearchState& state, const EvalParams& params) {
    state.params = &params;
    state.ply_rec->eval_flags = 0;
    clear_pawn_table(main_pawn_table);
    build_pawn_maps(state);
    score_pawns(state);
    PieceSums sums{};
    score_pieces(state, sums);
    return sums;
}

class EvalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        init_attack_table();
        init_psq();
    }
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        for (EvalParams& set : eval_param_sets) set = EvalParams{};
        clear_eval_table(main_eval_cache);
        clear_pawn_table(main_pawn_table);
    }

    static void use_shipped_personality() {
        ASSERT_TRUE(load_personality_from(VELKAN_RUN_DIR, "default"));
    }

    // Loads a position at ply 0 and evaluates it fully.
    static int evaluate_fen(SearchState& state, const char* fen) {
        set_fen(state, fen);
        return evaluate(state, eval_full);
    }
};

// A personality file: the input is written as personality/fuzz.per and
// loaded into each parameter set in turn, then the start position is
// evaluated with the weights it gave.

#include <cstdint>

#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "fuzz/fuzz_common.h"
#include "protocol/game.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    fresh_engine();
    write_input_file("personality/fuzz.per", data, size);
    command_personality("fuzz");
    load_personality("fuzz", endgame_set);
    (void)evaluate(game, eval_full);
    return 0;
}

// An EPD file through runeval: every position set up, evaluated and
// compared with its mirror image.

#include <cstdint>

#include "fuzz/fuzz_common.h"
#include "protocol/test_runs.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 32768) return 0;
    fresh_engine();
    run_eval_file(write_input_file("input.epd", data, size).c_str());
    return 0;
}

#pragma once
// What every fuzz target shares: an engine set up once as at start-up
// (tables, game, control state), its output thrown away, standard input at
// end of file so that a search's input poll finds nothing, and a scratch
// directory (removed at exit) to hold the file an input becomes.

#include <cstddef>
#include <cstdint>
#include <string>

// Called from LLVMFuzzerInitialize and again at the start of each input:
// the first call sets the engine up, every call puts the game and the
// control state back to a fresh engine's.
void fresh_engine();
// The full name of a file in the scratch directory, which is also the
// data directory the personality loader reads personality/ from.
std::string scratch_path(const char* name);
// Writes the input into `name` inside the scratch directory and returns its
// full name.
std::string write_input_file(const char* name, const uint8_t* data, size_t size);

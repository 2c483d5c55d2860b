#pragma once
// The developers' test runs over EPD files: `runeval` checks that every
// position evaluates exactly as its colour mirror does, `runsearch` searches
// every position with the current time settings. Only the first four words
// of a line are read (board, side to move, castling rights, en-passant
// square); lines with fewer are skipped. Both leave the game at the standard
// starting position.

// `runeval FILE`. Always true (a missing file is reported and the walk of
// the command line goes on).
bool run_eval_file(const char* path);
// `runsearch FILE`. False when `quit` arrived during one of the searches:
// the caller's command walk then ends at once.
bool run_search_file(const char* path);

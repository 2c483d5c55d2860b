#pragma once
// The piece-square table: a value per piece code and 0x88 square index,
// from the man's own side. Make and unmake keep SearchState::psq_sum current
// from it; the evaluation builds it.

extern int psq[14][128];

// Builds psq from the evaluation's piece and king tables.
void init_psq();

#include "eval/psq.h"

int psq[14][128];

// The piece and king tables come with the evaluation; until then every
// piece-square value is 0.
void init_psq() {}

#include "search/root.h"

int last_score = 0;
int previous_score = 0;
int last_book_hply = 0;

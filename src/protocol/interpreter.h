#pragma once
// The command interpreter. One token list (a line of standard input, the
// program arguments or the whole configuration file) is walked from its
// first token: a token equal to a command word runs that command with the
// tokens after it as arguments; any other token is read as a coordinate move
// on the game. Every command is one row of the command table.

#include "protocol/console.h"

// A handler gets exactly the argument tokens the walk gave it (count lies
// between the row's min_args and max_args) and returns false to end the
// call: at top level that ends the program, inside the search's input poll
// it stops the search.
using CommandHandler = bool (*)(char** args, int count);

// max_args of a command that takes the rest of the list.
constexpr int all_remaining = max_tokens;

// One row of the command table. A command finding fewer than min_args tokens
// left is not run: it reports the missing argument and the tokens left are
// consumed. Beyond min_args it takes up to max_args tokens; with
// numeric_extras only while they are integers, so that a command word
// following a shorter form is not swallowed. A row with during_search false
// is refused while a search runs (its arguments are still consumed).
struct CommandRow {
    const char* word;
    CommandHandler handler;
    int min_args;
    int max_args;
    bool numeric_extras;
    bool during_search;
};

// Executes a token list ended by a null entry. True: go on; false: end the
// program (top level) or stop the running search (input poll).
bool execute_commands(char** tokens);
// The row of a command word (exact, case-sensitive), or null.
const CommandRow* find_command(const char* word);

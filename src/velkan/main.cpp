// Program entry: start-up, configuration file, program arguments, then the
// command loop over standard input.

#include "bitbase/bitbase.h"
#include "protocol/console.h"
#include "protocol/startup.h"
#include "protocol/uci.h"

int main(int argc, char** argv) {
    init_engine();
    // Without its configuration file the engine does not run.
    if (!read_ini_file()) return 0;

    // The loader reads the bitbase settings the configuration file left, and
    // no input is read until it is done.
    start_bitbase_loader();
    if (argc != 0) wait_for_bitbases();

    static char argument_text[command_text_size];
    static char* tokens[max_tokens];
    // Arguments too long for the buffer are refused whole, like a long line.
    if (!build_argument_line(argc, argv, argument_text, command_text_size)) {
        emit("Error (arguments too long): at most %d bytes; the arguments are ignored\n",
             command_text_size - 1);
        argument_text[0] = '\0';
    }
    split_tokens(argument_text, tokens);
    if (!run_command_line(tokens)) return 0;
    log_only("==============================\n");

    static char line[input_line_size];
    bool first_line = true;
    while (read_input_line(line)) {
        split_tokens(line, tokens);
        // An interface that opens with `uci` gets the UCI front end for the
        // whole session; anything else is the xboard conversation.
        if (first_line && is_uci_request(tokens)) {
            run_uci_session();
            return 0;
        }
        first_line = false;
        if (!run_command_line(tokens)) return 0;
    }
    return 0;
}

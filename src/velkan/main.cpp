// Program entry: start-up, configuration file, program arguments, then the
// command loop over standard input.

int main() { return 0; }

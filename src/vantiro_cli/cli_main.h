// Private to the command-line module: the whole program behind the process entry.
#pragma once

// Runs the command selected by argv and returns the exit status, 0 or 1.
int vantiro_cli_main(int argc, char** argv);

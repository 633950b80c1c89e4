// Process entry of vantiro-cli.
#include "cli_main.h"

int main(int argc, char** argv) { return vantiro_cli_main(argc, argv); }

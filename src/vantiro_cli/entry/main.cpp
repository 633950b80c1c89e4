// Process entry of vantiro-cli.
#include "cli_main.h"
#include "harden.h"

int main(int argc, char** argv) {
  cli_harden_process();
  return vantiro_cli_main(argc, argv);
}

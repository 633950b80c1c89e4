// Private to the command-line module: process hardening done first thing in main.
#pragma once

// Keeps secrets from leaving the process through the operating system: no core dump or
// crash dump, no attaching by other unprivileged processes, memory locked out of swap
// where the system lets the process lock it. Each step is best effort and silently
// skipped where refused; nothing is printed and no output of a command changes.
void cli_harden_process();

// Module-internal access to the OS random generator and the failure switch.
#pragma once

#include <cstddef>
#include <cstdint>

// Asks the OS generator for all len bytes: 0 when all were filled, -1 otherwise
// (the buffer may then hold anything; callers zero it).
int crypt_os_random(uint8_t* buf, size_t len);

// Non-zero while the failure switch is on. Key generation honours it like every draw.
int crypt_random_forced_to_fail();

// Module-internal access to the OS random generator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// Asks the OS generator for all len bytes: 0 when all were filled, -1 otherwise
// (the buffer may then hold anything; callers zero it).
int crypt_os_random(uint8_t* buf, size_t len);

}  // namespace crypt_internal

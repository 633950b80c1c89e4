// Constant-time checking under valgrind memcheck: bytes marked secret are "undefined",
// so any branch or memory index that depends on them is reported. Bytes that become
// public (a signature, a public key) are marked defined again before they are used.
// Outside valgrind the marks cost nothing.
#pragma once

#include <cstddef>

#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define CT_SECRET(p, n) VALGRIND_MAKE_MEM_UNDEFINED((p), (n))
#define CT_PUBLIC(p, n) VALGRIND_MAKE_MEM_DEFINED((p), (n))
#else
#define CT_SECRET(p, n) ((void)(p), (void)(n))
#define CT_PUBLIC(p, n) ((void)(p), (void)(n))
#endif

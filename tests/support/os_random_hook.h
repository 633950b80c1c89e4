// Include in exactly one source file of a test program: it defines that program's OS
// random call (getrandom, or SystemFunction036 on Windows), which the library's OS-source
// code then links against instead of the system's, and routes every draw through
// vt::g_os_random_hook first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vt {
// Sees each OS draw before it is made: returns -1 to fail it, 1 when it has filled buf
// itself, 0 to let the OS fill it. Null lets the OS fill every draw.
inline int (*g_os_random_hook)(uint8_t* buf, size_t len) = nullptr;
}  // namespace vt

#if defined(_WIN32)

#include <windows.h>

// This definition takes the place of advapi32's import and forwards to the real one,
// looked up at run time.
extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buf, ULONG len) {
  const int hook = vt::g_os_random_hook ? vt::g_os_random_hook(static_cast<uint8_t*>(buf), len) : 0;
  if (hook != 0) return hook > 0 ? TRUE : FALSE;
  using fn = BOOLEAN(NTAPI*)(PVOID, ULONG);
  static const fn real = reinterpret_cast<fn>(reinterpret_cast<void (*)()>(
      GetProcAddress(LoadLibraryW(L"advapi32.dll"), "SystemFunction036")));
  return real != nullptr && real(buf, len);
}

#else

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" ssize_t getrandom(void* buf, size_t len, unsigned int flags) {
  const int hook = vt::g_os_random_hook ? vt::g_os_random_hook(static_cast<uint8_t*>(buf), len) : 0;
  if (hook > 0) return static_cast<ssize_t>(len);
  if (hook < 0) {
    errno = EIO;
    return -1;
  }
  return syscall(SYS_getrandom, buf, len, flags);
}

#endif

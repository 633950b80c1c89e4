# Flags of the release build (VANTIRO_RELEASE=ON, used by scripts/release.sh): hardened,
# stripped and statically linked, with bytes that depend only on the source and the
# toolchain — no build path, time stamp or build ID in the output.
set(_vt_repro_flags
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
add_compile_options(${_vt_repro_flags} -fstack-protector-strong -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)

if(WIN32)
  # PE: no link time stamp; ASLR with high entropy, DEP. The stack protector's runtime
  # (libssp) is linked in only when the flag is given at link time too.
  add_link_options(-fstack-protector-strong -static -s -Wl,--no-insert-timestamp
                   -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)
else()
  # Static PIE (ASLR without a loader), full RELRO, no executable stack, no build ID.
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fPIE -fstack-clash-protection -fcf-protection)
  add_link_options(-static-pie -s -Wl,-z,relro,-z,now -Wl,-z,noexecstack -Wl,--build-id=none)
endif()

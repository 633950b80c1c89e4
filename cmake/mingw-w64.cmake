# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
# Programs are linked statically, so vantiro-cli.exe and the test programs need no DLL
# beside them; tests run through wine (CMAKE_CROSSCOMPILING_EMULATOR).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_vt_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_vt_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vt_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_vt_triplet}-windres)
set(CMAKE_AR ${_vt_triplet}-gcc-ar-posix CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${_vt_triplet}-gcc-ranlib-posix CACHE FILEPATH "ranlib")

set(CMAKE_FIND_ROOT_PATH /usr/${_vt_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: libgcc, libstdc++ and winpthreads go into each .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine with a prefix inside the build folder (cmake/wine-run.sh).
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(_vt_wine NAMES wine wine64)
  if(_vt_wine)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
  endif()
endif()

# Black-box tests of the vantiro-cli executable (Python 3, standard library only). The
# script takes the command to run, so the same tests can run a Windows build under a
# launcher such as wine (--launcher).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(_vt_bb_args --cli $<TARGET_FILE:vantiro-cli>)
  if(VANTIRO_WINDOWS_CROSS)
    # The Windows build runs under its emulator (wine). The fault-injection preload is
    # ELF-only; the Ed25519 oracle is a host program, taken from a Linux build if given.
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " _vt_emulator)
    set(VANTIRO_CLI_LAUNCHER "${_vt_emulator}" CACHE STRING "Command prefix for running vantiro-cli in the black-box tests (e.g. wine)")
    set(VANTIRO_HOST_ED25519_ORACLE "" CACHE FILEPATH "Host build of vt_ed25519_oracle for the black-box tests")
    if(VANTIRO_HOST_ED25519_ORACLE)
      list(APPEND _vt_bb_args --oracle "${VANTIRO_HOST_ED25519_ORACLE}")
    endif()
  else()
    # Makes system calls fail on demand inside the tested process (ELF platforms only).
    add_library(vt_fault_preload SHARED "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/fault_preload.c")
    target_link_libraries(vt_fault_preload PRIVATE ${CMAKE_DL_LIBS})
    target_compile_options(vt_fault_preload PRIVATE -Wno-pedantic)
    add_executable(vt_ed25519_oracle "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/ed25519_oracle.cpp")
    target_link_libraries(vt_ed25519_oracle PRIVATE OpenSSL::Crypto)
    list(APPEND _vt_bb_args --oracle $<TARGET_FILE:vt_ed25519_oracle>)
    set(VANTIRO_CLI_LAUNCHER "" CACHE STRING "Command prefix for running vantiro-cli in the black-box tests (e.g. wine)")
    # A sanitizer runtime must come first in the process, so no preload then.
    if(NOT VANTIRO_SANITIZE)
      list(APPEND _vt_bb_args --preload $<TARGET_FILE:vt_fault_preload>)
    endif()
  endif()
  if(VANTIRO_CLI_LAUNCHER)
    list(APPEND _vt_bb_args "--launcher=${VANTIRO_CLI_LAUNCHER}")
  endif()
  add_test(NAME vantiro_cli_blackbox
           COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/blackbox_test.py"
                   ${_vt_bb_args})
  set_tests_properties(vantiro_cli_blackbox PROPERTIES TIMEOUT 900 LABELS "blackbox")
  if(VANTIRO_WINDOWS_CROSS)
    # It keeps one wine server for its many runs; other wine processes beside it were seen
    # to die without output, so it runs alone.
    set_tests_properties(vantiro_cli_blackbox PROPERTIES RUN_SERIAL TRUE)
  endif()

  # The README's walkthroughs, run literally as written (bash, a POSIX shell's tools).
  if(NOT VANTIRO_WINDOWS_CROSS)
    add_test(NAME vantiro_cli_readme
             COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/readme_test.py"
                     --cli $<TARGET_FILE:vantiro-cli> --readme "${PROJECT_SOURCE_DIR}/README.md")
    set_tests_properties(vantiro_cli_readme PROPERTIES TIMEOUT 600 LABELS "blackbox")
  endif()

  # Memory residue: core dumps at process exit searched for every secret of the run.
  find_program(GDB_EXECUTABLE gdb)
  if(GDB_EXECUTABLE AND NOT VANTIRO_SANITIZE AND NOT VANTIRO_WINDOWS_CROSS)
    add_test(NAME vantiro_cli_residue
             COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/residue_check.py"
                     --cli $<TARGET_FILE:vantiro-cli> --gdb ${GDB_EXECUTABLE})
    set_tests_properties(vantiro_cli_residue PROPERTIES TIMEOUT 900 LABELS "residue")
  endif()
endif()

# Windows: wildcard patterns on the command line reach recover as the matching files.
if(Python3_Interpreter_FOUND AND VANTIRO_WINDOWS_CROSS AND VANTIRO_CLI_LAUNCHER)
  add_test(NAME vantiro_cli_wildcard
           COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/wildcard_test.py"
                   --cli $<TARGET_FILE:vantiro-cli> "--launcher=${VANTIRO_CLI_LAUNCHER}")
  set_tests_properties(vantiro_cli_wildcard PROPERTIES TIMEOUT 600 LABELS "blackbox")
endif()

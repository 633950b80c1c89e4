# Black-box tests of the vantiro-cli executable (Python 3, standard library only). The
# script takes the command to run, so the same tests can run a Windows build under a
# launcher such as wine (--launcher).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  # Makes system calls fail on demand inside the tested process (ELF platforms only).
  add_library(vt_fault_preload SHARED "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/fault_preload.c")
  target_link_libraries(vt_fault_preload PRIVATE ${CMAKE_DL_LIBS})
  target_compile_options(vt_fault_preload PRIVATE -Wno-pedantic)
  add_executable(vt_ed25519_oracle "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/ed25519_oracle.cpp")
  target_link_libraries(vt_ed25519_oracle PRIVATE OpenSSL::Crypto)

  set(VANTIRO_CLI_LAUNCHER "" CACHE STRING "Command prefix for running vantiro-cli in the black-box tests (e.g. wine)")
  set(_vt_bb_args --cli $<TARGET_FILE:vantiro-cli> --oracle $<TARGET_FILE:vt_ed25519_oracle>)
  if(VANTIRO_CLI_LAUNCHER)
    list(APPEND _vt_bb_args "--launcher=${VANTIRO_CLI_LAUNCHER}")
  endif()
  # A sanitizer runtime must come first in the process, so no preload then.
  if(NOT VANTIRO_SANITIZE)
    list(APPEND _vt_bb_args --preload $<TARGET_FILE:vt_fault_preload>)
  endif()
  add_test(NAME vantiro_cli_blackbox
           COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/blackbox_test.py"
                   ${_vt_bb_args})
  set_tests_properties(vantiro_cli_blackbox PROPERTIES TIMEOUT 900 LABELS "blackbox")

  # Memory residue: core dumps at process exit searched for every secret of the run.
  find_program(GDB_EXECUTABLE gdb)
  if(GDB_EXECUTABLE AND NOT VANTIRO_SANITIZE)
    add_test(NAME vantiro_cli_residue
             COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/residue_check.py"
                     --cli $<TARGET_FILE:vantiro-cli> --gdb ${GDB_EXECUTABLE})
    set_tests_properties(vantiro_cli_residue PROPERTIES TIMEOUT 900 LABELS "residue")
  endif()
endif()

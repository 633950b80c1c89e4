# The manual page: lint-clean for mandoc (and groff when present), listing every message
# and report line the program prints; and cmake --install placing program and page.
find_program(MANDOC_EXECUTABLE mandoc)
find_program(GROFF_EXECUTABLE groff)
find_package(Python3 COMPONENTS Interpreter)
set(_vt_manpage "${CMAKE_SOURCE_DIR}/man/vantiro-cli.1")
if(MANDOC_EXECUTABLE)
  add_test(NAME vantiro_cli_manpage_lint
           COMMAND ${MANDOC_EXECUTABLE} -T lint -W warning "${_vt_manpage}")
  if(Python3_Interpreter_FOUND)
    file(GLOB _vt_cli_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/vantiro_cli/*.cpp")
    add_test(NAME vantiro_cli_manpage_texts
             COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/manpage_check.py"
                     --mandoc ${MANDOC_EXECUTABLE} --page "${_vt_manpage}" ${_vt_cli_sources})
    set_tests_properties(vantiro_cli_manpage_texts PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endif()
if(GROFF_EXECUTABLE)
  # -ww: every warning; -z: no output. groff reports on standard error and still exits 0.
  add_test(NAME vantiro_cli_manpage_groff
           COMMAND ${GROFF_EXECUTABLE} -man -ww -z "${_vt_manpage}")
  set_tests_properties(vantiro_cli_manpage_groff PROPERTIES FAIL_REGULAR_EXPRESSION "warning|error")
endif()
if(TARGET vantiro-cli AND Python3_Interpreter_FOUND)
  add_test(NAME vantiro_cli_install
           COMMAND ${Python3_EXECUTABLE} "${CMAKE_CURRENT_SOURCE_DIR}/vantiro_cli/install_check.py"
                   --cmake ${CMAKE_COMMAND} --build "${CMAKE_BINARY_DIR}"
                   --program $<TARGET_FILE_NAME:vantiro-cli>)
endif()

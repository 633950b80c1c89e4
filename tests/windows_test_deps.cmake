# Test dependencies of the Windows cross build: GoogleTest compiled from Debian's source
# package with the cross compiler, and the header-only nlohmann-json from the host.
set(VANTIRO_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree for cross builds")
if(NOT EXISTS "${VANTIRO_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest source not found at ${VANTIRO_GTEST_SOURCE_DIR} (Debian: googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
# GoogleTest is third-party code: build it without this project's warnings-as-errors.
get_directory_property(_vt_saved_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory("${VANTIRO_GTEST_SOURCE_DIR}" "${CMAKE_CURRENT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_vt_saved_options}")

# Only the nlohmann folder of the host's include tree, so no host header shadows the
# cross compiler's own.
find_path(VANTIRO_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_vt_json_dir "${CMAKE_CURRENT_BINARY_DIR}/nlohmann-include")
file(MAKE_DIRECTORY "${_vt_json_dir}")
file(CREATE_LINK "${VANTIRO_NLOHMANN_INCLUDE}/nlohmann" "${_vt_json_dir}/nlohmann" SYMBOLIC)
add_library(vt_nlohmann_json INTERFACE)
target_include_directories(vt_nlohmann_json SYSTEM INTERFACE "${_vt_json_dir}")
add_library(nlohmann_json::nlohmann_json ALIAS vt_nlohmann_json)

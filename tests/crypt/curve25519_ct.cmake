# Key generation, signing and X25519 under valgrind with their secrets marked undefined.
vantiro_ct_test(crypt_curve25519_ct "${CMAKE_CURRENT_LIST_DIR}/curve25519_ct.cpp" crypt)
target_include_directories(crypt_curve25519_ct PRIVATE "${PROJECT_SOURCE_DIR}/src/crypt")

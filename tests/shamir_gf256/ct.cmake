vantiro_ct_test(shamir_gf256_ct "${CMAKE_CURRENT_SOURCE_DIR}/shamir_gf256/shamir_ct.cpp" shamir_gf256)

# AES-256, AES-128, key wrap, CFB and the CTR_DRBG, on both paths, under the valgrind
# constant-time check: secret key, schedule, plaintext and generator state.
vantiro_ct_test(ct_aes "${CMAKE_CURRENT_LIST_DIR}/ct_aes.cpp" crypt drbg)

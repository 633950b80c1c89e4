# GCM under the valgrind constant-time check: secret plaintext and AAD, a secret GHASH key,
# and the tag comparison with both tags secret.
vantiro_ct_test(ct_gcm "${CMAKE_CURRENT_LIST_DIR}/ct_gcm.cpp" crypt)

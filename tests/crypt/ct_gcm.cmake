# GCM under the valgrind constant-time check, on the instruction code and the portable
# code: secret key, IV, plaintext, AAD and received tag through whole encryptions and
# decryptions, a secret GHASH key, and the tag comparison with both tags secret.
vantiro_ct_test(ct_gcm "${CMAKE_CURRENT_LIST_DIR}/ct_gcm.cpp" crypt)

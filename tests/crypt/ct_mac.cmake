# HMAC, HKDF and PBKDF2 with their keys marked secret, under valgrind memcheck.
vantiro_ct_test(crypt_ct_mac "${CMAKE_CURRENT_LIST_DIR}/ct_mac.cpp" crypt)

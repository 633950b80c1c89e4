# ChaCha20-Poly1305 under the valgrind constant-time check: secret key, nonce, plaintext,
# AAD and received tag through whole encryptions and decryptions.
vantiro_ct_test(ct_chacha20poly1305 "${CMAKE_CURRENT_LIST_DIR}/ct_chacha20poly1305.cpp" crypt)

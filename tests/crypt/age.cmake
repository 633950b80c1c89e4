# The age vectors include zlib-compressed files: the test inflates them where zlib is
# found (the Windows cross build may have none, and then reports them skipped).
find_package(ZLIB)
if(ZLIB_FOUND AND TARGET crypt_age_vectors_test)
  target_link_libraries(crypt_age_vectors_test PRIVATE ZLIB::ZLIB)
  target_compile_definitions(crypt_age_vectors_test PRIVATE VT_HAVE_ZLIB=1)
endif()

oxa_add_fuzz(fuzz_embedded_picture
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/EmbeddedPicture.cpp
  DEPS oxa_tags
  CORPUS tests/data/embedded-picture)

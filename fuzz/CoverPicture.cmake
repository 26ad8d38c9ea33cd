oxa_add_fuzz(fuzz_cover_picture
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/CoverPicture.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/cover-picture)

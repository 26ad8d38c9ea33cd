oxa_add_fuzz(fuzz_bmp_file
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/BmpFile.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/bmp-file)

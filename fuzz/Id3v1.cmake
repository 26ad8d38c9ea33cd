oxa_add_fuzz(fuzz_id3v1
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/Id3v1.cpp
  DEPS oxa_tags
  CORPUS tests/data/id3v1)

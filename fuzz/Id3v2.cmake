oxa_add_fuzz(fuzz_id3v2
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/Id3v2.cpp
  DEPS oxa_tags
  CORPUS tests/data/id3v2)

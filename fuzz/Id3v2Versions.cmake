oxa_add_fuzz(fuzz_id3v2_versions
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/Id3v2Versions.cpp
  DEPS oxa_tags
  CORPUS tests/data/id3v2-versions)

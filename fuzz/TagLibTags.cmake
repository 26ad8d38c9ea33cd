oxa_add_fuzz(fuzz_taglib_tags
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/TagLibTags.cpp
  DEPS oxa_tags
  CORPUS tests/data/taglib-tags)

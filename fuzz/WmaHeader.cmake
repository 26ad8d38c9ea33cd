oxa_add_fuzz(fuzz_wma_header
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/WmaHeader.cpp
  DEPS oxa_wmvcore_editor
  CORPUS tests/data/wma-header)

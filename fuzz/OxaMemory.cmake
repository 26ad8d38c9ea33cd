oxa_add_fuzz(fuzz_oxa_memory
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/OxaMemory.cpp
  DEPS oxa_framework
  CORPUS tests/data/oxa-memory)

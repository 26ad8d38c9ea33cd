oxa_add_fuzz(fuzz_text_layout
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/TextLayout.cpp
  DEPS oxa_graphics
  CORPUS tests/data/text-layout)

oxa_add_fuzz(fuzz_bitmap_store
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/BitmapStore.cpp
  DEPS oxa_graphics
  CORPUS tests/data/bitmap-store)

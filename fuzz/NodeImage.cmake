oxa_add_fuzz(fuzz_node_image
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/NodeImage.cpp
  DEPS oxa_graphics
  CORPUS tests/data/node-image)

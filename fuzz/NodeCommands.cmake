oxa_add_fuzz(fuzz_node_commands
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/NodeCommands.cpp
  DEPS oxa_oxaipc
  CORPUS tests/data/node-commands)

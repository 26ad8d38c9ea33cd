# ReadItem of the tag facade on a generated library of MP3 and WMA files, TagLib as the floor.
oxa_add_bench(bench_tags_readitem
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ReadItemBench.cpp
  DEPS oxa_tags oxa_test_media PkgConfig::TAGLIB
)
add_dependencies(bench_tags_readitem oxa_wmvcore)
target_compile_definitions(bench_tags_readitem PRIVATE OXA_WMVCORE_FILE="$<TARGET_FILE:oxa_wmvcore>")

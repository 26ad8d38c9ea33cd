# The WMA tagger and the tag facade on generated media: against the real runtime, a scripted fake
# of it, one without the export, and none at all. Each stand-in is a libwmvcore.so of its own that
# a test puts where the tagger looks for the runtime.
add_library(oxa_fake_wmvcore MODULE ${CMAKE_CURRENT_SOURCE_DIR}/FakeWmvCore.cpp)
add_library(oxa_noexport_wmvcore MODULE ${CMAKE_CURRENT_SOURCE_DIR}/NoExportWmvCore.cpp)
foreach(standIn fake noexport)
  set_target_properties(oxa_${standIn}_wmvcore PROPERTIES
    PREFIX "lib"
    OUTPUT_NAME wmvcore
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${standIn}-wmvcore
    CXX_VISIBILITY_PRESET hidden)
  target_link_libraries(oxa_${standIn}_wmvcore PRIVATE oxa_warnings)
endforeach()

oxa_add_test(tests_tags_facade
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/OxaMusicTagTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/OxaMusicTagWriteTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/TagLibTaggerTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/WMATaggerTest.cpp
  DEPS
    oxa_tags
    oxa_test_media
    PkgConfig::OXA_TAGS_TAGLIB
)
add_dependencies(tests_tags_facade oxa_wmvcore oxa_fake_wmvcore oxa_noexport_wmvcore)
target_compile_definitions(tests_tags_facade PRIVATE
  OXA_WMVCORE_FILE="$<TARGET_FILE:oxa_wmvcore>"
  OXA_FAKE_WMVCORE_FILE="$<TARGET_FILE:oxa_fake_wmvcore>"
  OXA_NOEXPORT_WMVCORE_FILE="$<TARGET_FILE:oxa_noexport_wmvcore>")

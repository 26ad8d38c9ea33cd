# Compiler settings and the helpers every folder uses to declare its targets.

add_library(oxa_warnings INTERFACE)
target_compile_options(oxa_warnings INTERFACE -Wall -Wextra -Wnon-virtual-dtor -Woverloaded-virtual
  -Wno-missing-field-initializers)
if(OXA_WERROR)
  target_compile_options(oxa_warnings INTERFACE -Werror)
endif()

# Every test and bench binary carries the debug information of all the libraries it links; stored
# compressed, a debug build takes a fraction of the disk (gdb and the sanitizers read it as is).
# Objects stay uncompressed so that the compiler cache is shared with builds made before.
if(CMAKE_BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$")
  add_link_options(-gz)
endif()

if(OXA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # The sanitizers' check records are full of addresses; in a position-independent executable each
  # one needs a load-time relocation, a third of every test binary.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -no-pie")
endif()

# ThreadSanitizer cannot share a binary with AddressSanitizer: its own build, for the suites whose
# code runs on several threads.
if(OXA_TSAN)
  if(OXA_SANITIZE)
    message(FATAL_ERROR "OXA_TSAN and OXA_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(OXA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OXA_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# What every test runs with: the source and build folders, and the folder where the streams of
# generated test music are kept from one test process to the next. The folder is named after the
# generator's source, so a changed generator starts with an empty one.
set(OXA_TEST_MEDIA_SOURCE ${CMAKE_SOURCE_DIR}/tools/make-test-media/TestMedia.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OXA_TEST_MEDIA_SOURCE})
file(MD5 ${OXA_TEST_MEDIA_SOURCE} OXA_TEST_MEDIA_HASH)
string(SUBSTRING ${OXA_TEST_MEDIA_HASH} 0 12 OXA_TEST_MEDIA_HASH)
set(OXA_TEST_ENVIRONMENT "OXA_SOURCE_DIR=${CMAKE_SOURCE_DIR};OXA_BINARY_DIR=${CMAKE_BINARY_DIR}"
  "OXA_TEST_MEDIA_CACHE=${CMAKE_BINARY_DIR}/test-media/${OXA_TEST_MEDIA_HASH}")

# oxa_add_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per folder; DEPS are the folders (or packages) it may use.
function(oxa_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE oxa_warnings ${ARG_PRIVATE_DEPS})
  if(TARGET oxa_layering)
    add_dependencies(${name} oxa_layering)
  endif()
endfunction()

# oxa_test_headers(target)
# The test framework's headers are half of what a test file compiles under the sanitizers: they
# are compiled once, by tests/support's oxa_test_headers, and every test binary reuses that. The
# owner defines nothing of its own, because a definition the precompiled headers were made with
# must be made the same way wherever they are used.
function(oxa_test_headers target)
  target_precompile_headers(${target} REUSE_FROM oxa_test_headers)
endfunction()

# oxa_add_test(name SOURCES ... DEPS ...)
# One GoogleTest binary per folder, linked with that folder's library and tests/support.
function(oxa_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} oxa_test_support GTest::gtest GTest::gmock GTest::gtest_main oxa_warnings)
  oxa_test_headers(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
  # The discovery's own PROPERTIES keep only the first item of a list, so the environment is set
  # on the discovered tests by a file ctest reads after the discovery's; the binary's name is
  # their label (ctest -L tests_library).
  set(environment_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${environment_file}
    "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${OXA_TEST_ENVIRONMENT}\" LABELS ${name})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${environment_file})
endfunction()

# oxa_add_bench(name SOURCES ... DEPS ...)
function(oxa_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark oxa_warnings)
endfunction()

# oxa_add_fuzz(name SOURCE file DEPS ... CORPUS dir)
# With OXA_FUZZ a libFuzzer binary; otherwise a replay driver that runs the target over every
# file of its corpus folder as a regression test, so every stored crash input stays covered.
function(oxa_add_fuzz name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "DEPS" ${ARGN})
  if(OXA_FUZZ)
    add_executable(${name} ${ARG_SOURCE})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} oxa_warnings)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${ARG_SOURCE} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} oxa_warnings)
    if(OXA_TESTS)
      add_test(NAME fuzz-replay.${name} COMMAND ${name} ${CMAKE_SOURCE_DIR}/${ARG_CORPUS})
    endif()
  endif()
endfunction()

# oxa_components_beside(target)
# Links the run-time components (the audio component and the media-format runtime) into the
# target's folder, where the platform's module lookup looks first: the program as built finds
# them wherever it is started from.
function(oxa_components_beside target)
  foreach(component oxa_oxaaud oxa_wmvcore)
    if(TARGET ${component})
      add_dependencies(${target} ${component})
      add_custom_command(TARGET ${target} POST_BUILD COMMAND ${CMAKE_COMMAND} -E create_symlink
        $<TARGET_FILE:${component}> $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_NAME:${component}>)
    endif()
  endforeach()
endfunction()

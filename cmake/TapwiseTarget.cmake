# Flags shared by every target of the project. They go on the targets, not
# into CMAKE_CXX_FLAGS, so that a dependency's build is left alone.
function(tapwise_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(TAPWISE_FUZZ)
    # Coverage for the fuzzer's guidance in every library it links.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  if(TAPWISE_SANITIZE)
    target_compile_options(${target} PUBLIC -fsanitize=${TAPWISE_SANITIZE} -fno-omit-frame-pointer
                                               -fno-sanitize-recover=all)
    target_link_options(${target} PUBLIC -fsanitize=${TAPWISE_SANITIZE})
  endif()
endfunction()

# One GoogleTest executable per call; every TEST in it becomes a CTest test.
# LABELS lets a run pick a group (the sanitizer builds run "core" or "capture").
function(tapwise_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tapwise_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120)
endfunction()

# One Qt Test executable per call, run as one CTest test on the offscreen
# platform, so widget tests need no display.
function(tapwise_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tapwise_target_defaults(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# A layer's static library from the .cpp files of its folders (relative to
# the calling CMakeLists.txt), with the shared flags. The folder list is the
# layer's plan; the library follows it.
function(tapwise_add_layer name)
  set(sources)
  foreach(folder ${ARGN})
    # Qt resource lists (*.qrc) go in with the sources they serve.
    file(GLOB folder_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
                                               ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.qrc)
    list(APPEND sources ${folder_sources})
  endforeach()
  add_library(${name} STATIC ${sources})
  tapwise_target_defaults(${name})
endfunction()

# Warnings and sanitizers for every target of the project, through one interface library.
add_library(qvx_compile_options INTERFACE)
add_library(qvx::compile_options ALIAS qvx_compile_options)

target_compile_options(qvx_compile_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wconversion -Wsign-conversion -Wnull-dereference -Wimplicit-fallthrough)
if(QVX_WERROR)
  target_compile_options(qvx_compile_options INTERFACE -Werror)
endif()

if(QVX_SANITIZE)
  list(JOIN QVX_SANITIZE "," _qvx_sanitizers)
  target_compile_options(qvx_compile_options INTERFACE
    -fsanitize=${_qvx_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(qvx_compile_options INTERFACE -fsanitize=${_qvx_sanitizers})
endif()

# A program built with a sanitizer ignores the reports that lie wholly inside uninstrumented
# system libraries (Qt and those below it, glibc's locale loader); the list is compiled in, so
# it holds however the program is started. Every test binary gets it, and so does each Qt
# program a test starts.
function(qvx_add_sanitizer_suppressions target)
  if(QVX_SANITIZE)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/sanitizer_suppressions.cpp)
  endif()
endfunction()

# A test binary links the smallest library that holds what it tests, plus this.
# OWN_MAIN: the test brings its own main() (a Qt test that creates the application object).
function(qvx_add_test_binary name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest qvx::compile_options)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  qvx_add_sanitizer_suppressions(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()

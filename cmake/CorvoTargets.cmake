# corvo_library(NAME [LIBS ...] [NOT_ON_WINDOWS file.cpp ...]): a static library
# made of every source file of one directory. Each directory of the tree is one
# layer (see docs/architecture.md). NOT_ON_WINDOWS lists the sources that the
# Windows builds leave out (the POSIX stand-ins for what Windows itself
# provides, such as the COM ABI layer; see docs/platforms.md).
function(corvo_library name)
  cmake_parse_arguments(ARG "" "" "LIBS;NOT_ON_WINDOWS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    foreach(_skip ${ARG_NOT_ON_WINDOWS})
      list(REMOVE_ITEM _srcs ${CMAKE_CURRENT_SOURCE_DIR}/${_skip})
    endforeach()
  endif()
  file(GLOB _hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(_srcs)
    add_library(${name} STATIC ${_srcs} ${_hdrs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# corvo_test(NAME LIBS ... [NOT_ON_WINDOWS file.cpp ...]): one GoogleTest binary
# from every .cpp of the current directory. Natively each case is registered
# with ctest. In the Windows builds the binary is one ctest test, labelled
# `wine`, run through the emulator (wine64 for win64, wine for win32) in the
# run's private prefix (the `wine_prefix` fixture, tests/CMakeLists.txt).
function(corvo_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;NOT_ON_WINDOWS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    foreach(_skip ${ARG_NOT_ON_WINDOWS})
      list(REMOVE_ITEM _srcs ${CMAKE_CURRENT_SOURCE_DIR}/${_skip})
    endforeach()
  endif()
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(WIN32)
    corvo_wine_test(${name} ${name})
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# corvo_wine_test(NAME COMMAND...): a test run under Wine in the run's private
# prefix. Only where the programs can run (the build's Wine loader found).
function(corvo_wine_test name)
  if(NOT CORVO_WINE_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS wine FIXTURES_REQUIRED wine_prefix TIMEOUT 600
                       ENVIRONMENT "${CORVO_WINE_ENVIRONMENT}")
endfunction()

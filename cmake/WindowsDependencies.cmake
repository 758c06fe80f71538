# Dependencies of the Windows builds, from the same Debian packages as the
# Linux build: Boost, nlohmann-json and CLI11 are header-only and come from
# /usr/include; GoogleTest is built from Debian's source package
# (/usr/src/googletest). Only the library directories themselves are exposed
# (through symbolic links in the build tree), never /usr/include as a whole,
# whose C library headers would hide mingw-w64's.
set(_host_headers ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_host_headers})
foreach(_dir boost nlohmann CLI)
  if(NOT EXISTS /usr/include/${_dir})
    message(FATAL_ERROR "/usr/include/${_dir} is missing: run scripts/install-deps.sh")
  endif()
  file(CREATE_LINK /usr/include/${_dir} ${_host_headers}/${_dir} SYMBOLIC)
endforeach()

function(corvo_header_library name)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_host_headers}
                                           INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${_host_headers})
endfunction()
corvo_header_library(Boost::headers)
corvo_header_library(nlohmann_json::nlohmann_json)
corvo_header_library(CLI11::CLI11)

find_package(Threads REQUIRED)

if(CORVO_BUILD_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: install googletest")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # googletest defines the GTest:: names itself.
endif()

# The emulators that run the test programs on this machine: Wine's 64-bit
# loader for the win64 build, its 32-bit loader (Debian's wine32, from the
# i386 architecture) for the win32 build. Both run in the same kind of prefix,
# a WoW64 one. Each ctest run gets its own prefix.
find_program(CORVO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVO_WINE64 NAMES wine64)
find_program(CORVO_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVO_WINESERVER NAMES wineserver PATHS /usr/lib/wine)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CORVO_WINE ${CORVO_WINE64})
else()
  set(CORVO_WINE ${CORVO_WINE32})
endif()
if(CORVO_WINE)
  set(CORVO_WINE_TESTS ON)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVO_WINE})
  set(CORVO_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  set(CORVO_WINE_ENVIRONMENT
      "WINEPREFIX=${CORVO_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;DISPLAY=")
else()
  set(CORVO_WINE_TESTS OFF)
  message(STATUS "No Wine loader for this build's programs: its tests are built, not run "
                 "(scripts/install-deps.sh installs wine64 and wine32)")
endif()

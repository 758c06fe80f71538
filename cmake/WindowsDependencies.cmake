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

# The emulator that runs the win64 test programs on this machine.
find_program(CORVO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(CORVO_WINE64 NAMES wine64)
find_program(CORVO_WINESERVER NAMES wineserver PATHS /usr/lib/wine)

# The 64-bit programs run under wine64 (the kernel of the build machines runs
# no 32-bit programs). Each ctest run gets its own prefix.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND CORVO_WINE64)
  set(CORVO_WINE_TESTS ON)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVO_WINE64})
  set(CORVO_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  set(CORVO_WINE_ENVIRONMENT
      "WINEPREFIX=${CORVO_WINE_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;DISPLAY=")
else()
  set(CORVO_WINE_TESTS OFF)
endif()

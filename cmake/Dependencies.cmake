# Every dependency comes from Debian packages; nothing is vendored.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDependencies.cmake)
  return()
endif()
find_package(Boost 1.74 REQUIRED)            # libboost-dev: boost::shared_ptr
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(IDN2 REQUIRED IMPORTED_TARGET libidn2)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
find_package(CLI11 CONFIG REQUIRED)          # libcli11-dev
find_package(nlohmann_json 3 REQUIRED)       # nlohmann-json3-dev: corvo-sso xml
if(CORVO_BUILD_TESTS)
  find_package(GTest REQUIRED)               # libgtest-dev, libgmock-dev
endif()
if(CORVO_BUILD_BENCH AND NOT CORVO_SANITIZE)
  find_package(benchmark REQUIRED)           # libbenchmark-dev
endif()

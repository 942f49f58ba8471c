# JsonCpp, SQLite (orv_sqlite3) and GoogleTest. Linux uses Debian's packages;
# the Windows build compiles Debian's JsonCpp and SQLite sources and the
# GoogleTest source under /usr/src/googletest with the cross compiler
# (scripts/setup fetches the first two).
if(WIN32)
  set(ORV_JSONCPP_SOURCE_DIR "${CMAKE_SOURCE_DIR}/.deps/jsoncpp" CACHE PATH "JsonCpp source tree")
  if(NOT EXISTS "${ORV_JSONCPP_SOURCE_DIR}/src/lib_json/json_reader.cpp")
    message(FATAL_ERROR "JsonCpp source not found in ${ORV_JSONCPP_SOURCE_DIR}; run scripts/setup")
  endif()
  file(GLOB ORV_JSONCPP_SOURCES "${ORV_JSONCPP_SOURCE_DIR}/src/lib_json/*.cpp")
  add_library(orv_jsoncpp STATIC ${ORV_JSONCPP_SOURCES})
  target_include_directories(orv_jsoncpp SYSTEM PUBLIC "${ORV_JSONCPP_SOURCE_DIR}/include")
  target_compile_options(orv_jsoncpp PRIVATE -w)
  add_library(JsonCpp::JsonCpp ALIAS orv_jsoncpp)

  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # SQLite: the one-file build that scripts/setup makes from Debian's sqlite3 source.
  set(ORV_SQLITE_SOURCE_DIR "${CMAKE_SOURCE_DIR}/.deps/sqlite3" CACHE PATH "SQLite amalgamation (sqlite3.c)")
  if(NOT EXISTS "${ORV_SQLITE_SOURCE_DIR}/sqlite3.c")
    message(FATAL_ERROR "SQLite source not found in ${ORV_SQLITE_SOURCE_DIR}; run scripts/setup")
  endif()
  add_library(orv_sqlite3 STATIC "${ORV_SQLITE_SOURCE_DIR}/sqlite3.c")
  target_include_directories(orv_sqlite3 SYSTEM PUBLIC "${ORV_SQLITE_SOURCE_DIR}")
  target_compile_definitions(orv_sqlite3 PRIVATE SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0)
  target_compile_options(orv_sqlite3 PRIVATE -w)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
  add_library(JsonCpp::JsonCpp ALIAS PkgConfig::JSONCPP)
  pkg_check_modules(ORV_SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
  add_library(orv_sqlite3 INTERFACE)
  target_link_libraries(orv_sqlite3 INTERFACE PkgConfig::ORV_SQLITE3)
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
endif()

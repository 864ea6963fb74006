# Fails when a C++ file of the tree is not laid out as .clang-format says:
# every file git tracks, or with no git checkout every file below the
# source folder outside build/ and out/. Lists each file that clang-format
# would change, so that `clang-format -i <file>` puts it right.
# Usage: cmake -DSOURCE_DIR=... -DCLANG_FORMAT=... [-DGIT=...] -P check-format.cmake
cmake_minimum_required(VERSION 3.25)

set(files)
if(GIT)
  execute_process(COMMAND ${GIT} ls-files -- "*.cpp" "*.cc" "*.c" "*.h" WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE listed RESULT_VARIABLE rc ERROR_QUIET)
  if(rc EQUAL 0)
    string(REPLACE "\n" ";" files "${listed}")
    list(FILTER files EXCLUDE REGEX "^$")
  endif()
endif()
if(NOT files)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.cc ${SOURCE_DIR}/*.c
       ${SOURCE_DIR}/*.h)
  list(FILTER files EXCLUDE REGEX "^(build|out)/")
endif()
if(NOT files)
  message(FATAL_ERROR "no C++ files found below ${SOURCE_DIR}")
endif()

set(unformatted)
foreach(file IN LISTS files)
  if(NOT EXISTS ${SOURCE_DIR}/${file})
    continue()  # deleted in the working tree, not yet in the index
  endif()
  execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror --style=file ${file} WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    list(APPEND unformatted ${file})
  endif()
endforeach()
list(LENGTH files count)
if(unformatted)
  list(JOIN unformatted "\n  " shown)
  message(FATAL_ERROR "not laid out as .clang-format says (run clang-format -i on them):\n  ${shown}")
endif()
message(STATUS "${count} C++ files laid out as .clang-format says")

# kvtsetup.exe: the installer program as a real Windows program that loads
# KvtSetup.dll. It is built beside the DLL, where it looks for it.
#
# The cross compiler must not see the host's /usr/include as a whole (its C
# library headers would shadow mingw's): a folder of the build holds a link
# to CLI11's headers alone.
find_path(KVT_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KVT_CLI11_SHIM ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${KVT_CLI11_SHIM})
file(CREATE_LINK ${KVT_CLI11_INCLUDE}/CLI ${KVT_CLI11_SHIM}/CLI SYMBOLIC)

add_library(kvt_tool_text STATIC text/system_text.cpp text/utf.cpp)
target_include_directories(kvt_tool_text PUBLIC text)
target_link_libraries(kvt_tool_text PRIVATE kvt_warnings)

add_library(kvtsetup_host STATIC
  kvtsetup/call_arguments.cpp
  kvtsetup/export_table.cpp
  kvtsetup/host_windows.cpp
  kvtsetup/record_text.cpp
  kvtsetup/sequence_outcome.cpp
  kvtsetup/setup_library_windows.cpp
  kvtsetup/setup_log.cpp
  kvtsetup/setup_session.cpp
  kvtsetup/value_text.cpp
)
target_include_directories(kvtsetup_host PUBLIC kvtsetup ${CMAKE_SOURCE_DIR}/KvtSetup)
target_include_directories(kvtsetup_host SYSTEM PUBLIC ${KVT_CLI11_SHIM})
target_link_libraries(kvtsetup_host PUBLIC kvt_win32 kvt_tool_text PRIVATE kvt_warnings)

add_executable(kvtsetup kvtsetup/main.cpp)
target_link_libraries(kvtsetup PRIVATE kvtsetup_host kvt_warnings)
target_compile_definitions(kvtsetup PRIVATE KVT_VERSION="${PROJECT_VERSION}")
set_target_properties(kvtsetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/KvtSetup)
add_dependencies(kvtsetup KvtSetup)

# Settings every Tavix target shares.
add_library(tavix_common INTERFACE)
target_compile_definitions(tavix_common INTERFACE
  UNICODE _UNICODE NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
# Includes name their folder from the top of the tree ("engine/ArchiveFile.h").
target_include_directories(tavix_common INTERFACE ${CMAKE_SOURCE_DIR})
target_compile_options(tavix_common INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers -finput-charset=UTF-8 -fexec-charset=UTF-8>)
# Each program and library runs without mingw runtime DLLs beside it.
target_link_options(tavix_common INTERFACE -static -static-libgcc -static-libstdc++)

# A DLL that exports undecorated stdcall names (the archiver families' convention).
function(tavix_export_plain target)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES PREFIX "")
endfunction()

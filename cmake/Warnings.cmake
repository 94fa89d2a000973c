# Warnings are errors in every toolchain we build with.
add_library(sarn_warnings INTERFACE)
if(MSVC)
  target_compile_options(sarn_warnings INTERFACE /W4 /WX /utf-8)
else()
  target_compile_options(sarn_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wno-missing-field-initializers)
  # No stack frame above 8 KiB in anything we ship. The monitor's worker threads start with one committed
  # page and grow; a ButtonSlot (2476 bytes) may sit on the stack, a ProfileRecord (46 KiB), the SharedBlock
  # (227 KiB) or a 64 KiB file buffer must live on the heap. With frames of at most 8 KiB the deepest worker
  # path stays far inside the 2 MiB reservation. Test programs (SARN_TEST) run their cases on the main
  # thread and keep whole records on the stack; they are left out.
  target_compile_options(sarn_warnings INTERFACE
    $<$<NOT:$<BOOL:$<TARGET_PROPERTY:SARN_TEST>>>:-Wframe-larger-than=8192>)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports impossible overlaps inside std::string concatenation when optimising (GCC bug 105329).
    target_compile_options(sarn_warnings INTERFACE -Wno-restrict)
  endif()
endif()

if(WIN32)
  # Windows headers: keep them lean, target Windows 7 and later, narrow (ANSI) calls unless a file asks for W.
  add_library(sarn_win32 INTERFACE)
  target_compile_definitions(sarn_win32 INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Every thread's stack reservation, written into each image (common/worker_thread.h): 2 MiB, MinGW's own
  # default, stated so that both toolchains give the same and tests can check it. Threads commit 4 KiB and
  # grow into it; with no frame above the limit below, the deepest worker path needs well under 256 KiB.
  set(SARN_STACK_RESERVATION 2097152)
  target_compile_definitions(sarn_win32 INTERFACE SARN_STACK_RESERVATION=${SARN_STACK_RESERVATION})
  if(MSVC)
    target_link_options(sarn_win32 INTERFACE /STACK:${SARN_STACK_RESERVATION})
  else()
    target_link_options(sarn_win32 INTERFACE -Wl,--stack,${SARN_STACK_RESERVATION})
  endif()
  if(MINGW)
    # One self-contained executable: no libstdc++/libwinpthread DLLs to ship.
    target_link_options(sarn_win32 INTERFACE -static -static-libgcc -static-libstdc++)
    # Wine loads program images into private memory: drop unused code and symbols so the resident
    # monitor stays small. With sections at page-sized file offsets Wine maps the image from the file
    # instead of copying it (the monitor: 1.3 MB less private memory; Windows maps images either way).
    target_compile_options(sarn_win32 INTERFACE -ffunction-sections -fdata-sections)
    target_link_options(sarn_win32 INTERFACE -Wl,--gc-sections -s -Wl,--file-alignment,4096)
  endif()
endif()

option(SARN_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
if(SARN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# sarn_platform_sources(OUT GLOB...): the files matching the globs, less the Windows-only ones (ending in
# _win.cpp or _win_test.cpp) unless this is a Windows build.
function(sarn_platform_sources out)
  file(GLOB all CONFIGURE_DEPENDS ${ARGN})
  set(sources "")
  foreach(f IN LISTS all)
    if(NOT f MATCHES "_win(_test)?\\.cpp$" OR WIN32)
      list(APPEND sources "${f}")
    endif()
  endforeach()
  set(${out} "${sources}" PARENT_SCOPE)
endfunction()

# sarn_portable_library(NAME [DEPS libs...] [WIN_LIBS libs...]): a library from the *.cpp files of the calling
# directory. Files ending in _win.cpp are Windows adapters and only built for Windows; the rest is portable.
function(sarn_portable_library name)
  cmake_parse_arguments(L "" "" "DEPS;WIN_LIBS" ${ARGN})
  sarn_platform_sources(sources "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE sarn_warnings)
  if(WIN32)
    target_link_libraries(${name} PUBLIC sarn_win32 ${L_WIN_LIBS})
  endif()
endfunction()

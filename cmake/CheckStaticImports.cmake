# cmake -DOBJDUMP=... -DFILES="a.exe;b.dll" [-DEXTRA="hid.dll"] -P CheckStaticImports.cmake
# Fails when a program or library imports a DLL, at load time, that Windows may take from the program folder.
# The loader resolves static imports before main runs, so SetDefaultDllDirectories cannot cover them: only the
# KnownDLLs (always mapped from the system folder) may be imported. Everything else is loaded late from the
# system folder (common/library_search.h). EXTRA names imports that are safe for the files checked because of
# how those files are loaded (hidport.dll by its full path with LOAD_LIBRARY_SEARCH_SYSTEM32, which takes its
# imports from the system folder too).
cmake_minimum_required(VERSION 3.25)
set(known advapi32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
          rpcrt4.dll setupapi.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll)
list(TRANSFORM EXTRA TOLOWER)
set(failed "")
foreach(file IN LISTS FILES)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${file}: no imports found; the check would see nothing")
  endif()
  foreach(line IN LISTS lines)
    string(REPLACE "DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" name)
    if(NOT name IN_LIST known AND NOT name IN_LIST EXTRA)
      string(APPEND failed "\n  ${file} imports ${name}")
    endif()
  endforeach()
endforeach()
if(failed)
  message(FATAL_ERROR "Imports that Windows may load from the program folder (load them late from the system "
                      "folder, common/library_search.h):${failed}")
endif()
message(STATUS "only KnownDLLs imported: ${FILES}")

# Included by tests/: the Wine session fixture and noviq_add_wine_test() for the Linux build.
# Wine tests run the Windows build tree's binaries, found through NOVIQ_WINDOWS_BUILD_DIR.
set(NOVIQ_WINE_SCRIPTS ${CMAKE_CURRENT_LIST_DIR})

set(NOVIQ_WINE_TESTS OFF)
find_program(NOVIQ_WINE wine)
find_program(NOVIQ_WINESERVER wineserver)
if(NOVIQ_SANITIZE)
  message(STATUS "Wine tests: not in a sanitizer build")
elseif(NOT NOVIQ_WINE OR NOT NOVIQ_WINESERVER)
  message(STATUS "Wine tests skipped: wine not found (run scripts/bootstrap)")
elseif(NOT IS_DIRECTORY "${NOVIQ_WINDOWS_BUILD_DIR}")
  message(STATUS "Wine tests skipped: no Windows build at ${NOVIQ_WINDOWS_BUILD_DIR} "
                 "(cmake --preset windows && cmake --build build/windows)")
else()
  set(NOVIQ_WINE_TESTS ON)
  message(STATUS "Wine tests: ${NOVIQ_WINDOWS_BUILD_DIR}, prefix ${CMAKE_BINARY_DIR}/wine-prefix")
  # One session per ctest run: every Wine test requires the fixture "wine", so CTest starts
  # it first and stops it after the last of them, also under -j and -R/-L selections.
  add_test(NAME wine_start COMMAND ${NOVIQ_WINE_SCRIPTS}/wine-start ${CMAKE_BINARY_DIR})
  add_test(NAME wine_stop COMMAND ${NOVIQ_WINE_SCRIPTS}/wine-stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine LABELS wine TIMEOUT 300)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine TIMEOUT 60)
endif()

# noviq_add_wine_test(NAME [I386] COMMAND cmd args... [LABELS l...] [TIMEOUT s])
# Runs the command inside the session's environment (WINEPREFIX, WINEDEBUG, DISPLAY, ...);
# labels get "wine" added. Does nothing when Wine tests are skipped. I386 marks a test that
# runs 32-bit Windows programs: it gets the label "wine32" too, and on a machine that cannot
# execute i386 programs (scripts/i386-probe) CTest reports it as skipped, with the reason.
function(noviq_add_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "I386" "TIMEOUT" "COMMAND;LABELS")
  if(NOT NOVIQ_WINE_TESTS)
    return()
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  set(exec ${NOVIQ_WINE_SCRIPTS}/wine-exec)
  set(labels ${arg_LABELS} wine)
  if(arg_I386)
    list(APPEND exec --i386)
    list(APPEND labels wine32)
  endif()
  add_test(NAME ${name} COMMAND ${exec} ${CMAKE_BINARY_DIR} ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" FIXTURES_REQUIRED wine
                                          TIMEOUT ${arg_TIMEOUT})
  if(arg_I386)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

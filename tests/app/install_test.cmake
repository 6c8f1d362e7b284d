# Installs the build folder BUILD under PREFIX and runs the installed program's --version.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
execute_process(COMMAND "${PREFIX}/bin/songsearch" --version RESULT_VARIABLE status
                OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version MATCHES "^songsearch [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "the installed songsearch --version gave ${status}: '${version}'")
endif()
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT EXISTS "${PREFIX}/share/man/man1/songsearch.1")
  message(FATAL_ERROR "cmake --install put no manual page under ${PREFIX}/share/man/man1")
endif()

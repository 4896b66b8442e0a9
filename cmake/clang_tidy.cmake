# Build: the naming and function-size check of the root .clang-tidy, run as a test over the product sources.
#
# Included, it defines
#   tandemere_tidy_test(<name> FOLDERS <folder>... [ARGS <clang-tidy argument>...])
# a test that runs clang-tidy over the sources in compile_commands.json that lie directly in the
# given folders of the tree (their headers come in through .clang-tidy's HeaderFilterRegex) and
# fails on any finding, printing each. Where clang-tidy is not installed the test is reported as
# skipped with the reason, never as passed. Run by that test with `cmake -P`, this file does the run.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  function(tandemere_tidy_test name)
    cmake_parse_arguments(arg "" "" "FOLDERS;ARGS" ${ARGN})
    # One clang-tidy over all the files: its findings come out whole and in order.
    string(JOIN "|" folders ${arg_FOLDERS})
    string(JOIN "|" args ${arg_ARGS})
    add_test(NAME ${name}
             COMMAND sh -c "command -v clang-tidy >/dev/null 2>&1 && exec \"$0\" \"$@\"; echo '${name}: clang-tidy is not installed (scripts/install-deps.sh installs it); skipped'; exit 77"
                     ${CMAKE_COMMAND} -DTIDY_NAME=${name} -DTIDY_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                     -DTIDY_BUILD_DIR=${CMAKE_BINARY_DIR} "-DTIDY_FOLDERS=${folders}" "-DTIDY_ARGS=${args}"
                     -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
  endfunction()
  return()
endif()

cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" folders "${TIDY_FOLDERS}")
string(REPLACE "|" ";" args "${TIDY_ARGS}")
file(READ ${TIDY_BUILD_DIR}/compile_commands.json database)
string(JSON count LENGTH "${database}")
math(EXPR last "${count} - 1")
set(sources)
foreach(i RANGE ${last})
  string(JSON source GET "${database}" ${i} file)
  cmake_path(GET source PARENT_PATH folder)
  cmake_path(RELATIVE_PATH folder BASE_DIRECTORY ${TIDY_SOURCE_DIR})
  if(folder IN_LIST folders)
    list(APPEND sources ${source})
  endif()
endforeach()
list(REMOVE_DUPLICATES sources)
list(SORT sources)
if(NOT sources)
  message(FATAL_ERROR "${TIDY_NAME}: no source of ${folders} in ${TIDY_BUILD_DIR}/compile_commands.json")
endif()
list(LENGTH sources files)

# The compile commands are the build's, made for its compiler: -Wno-error keeps a warning clang
# has and that compiler lacks (or an option only that compiler knows) from stopping the check.
execute_process(COMMAND clang-tidy -p ${TIDY_BUILD_DIR} --quiet --warnings-as-errors=* --extra-arg=-Wno-error
                        ${args} ${sources}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
# clang's own count of the warnings it suppressed, one line for every file.
string(REGEX REPLACE "[0-9]+ warnings?( and [0-9]+ errors?)? generated\\.\n" "" err "${err}")
string(REGEX MATCHALL "[^\n]*: error: [^\n]*" findings "${out}")
list(LENGTH findings found)
if(NOT result EQUAL 0 OR found GREATER 0)
  message("${out}${err}")
  message(FATAL_ERROR "${TIDY_NAME}: ${found} finding(s) in ${files} files (clang-tidy exit ${result})")
endif()
message("${TIDY_NAME}: no findings in ${files} files of ${folders}")

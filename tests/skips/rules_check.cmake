# Checks the skip rule on recorded GoogleTest and QTest outputs: a scratch ctest
# project replays each output with its exit status, and ctest's verdict must be
# the expected one, both as usual and as under CI.
# Usage: cmake -DCTEST=<ctest> -DGENERATOR=<generator> -P rules_check.cmake
include(${CMAKE_CURRENT_LIST_DIR}/patterns.cmake)

# name, recorded output, exit status, verdict as usual, verdict under CI.
set(cases
    "gtest_skipped|gtest_skipped.txt|0|Skipped|Failed"
    "gtest_skipped_disabled|gtest_skipped_disabled.txt|0|Skipped|Failed"
    "gtest_skipped_failed|gtest_skipped_failed.txt|1|Failed|Failed"
    "gtest_skipped_leaked|gtest_skipped_leaked.txt|1|Failed|Failed"
    "gtest_skipped_crashed|gtest_skipped_crashed.txt|139|Failed|Failed"
    "gtest_passed|gtest_passed.txt|0|Passed|Passed"
    "qtest_skipped|qtest_skipped.txt|0|Skipped|Failed"
    "qtest_skipped_failed|qtest_skipped_failed.txt|1|Failed|Failed"
    "qtest_passed|qtest_passed.txt|0|Passed|Passed")

if(DEFINED ENV{TMPDIR})
    set(temporary $ENV{TMPDIR})
else()
    set(temporary /tmp)
endif()
string(RANDOM LENGTH 10 suffix)
set(scratch ${temporary}/tonare-skip-rules-${suffix})

set(project "cmake_minimum_required(VERSION 3.25)\nproject(skip_rules_check NONE)\nenable_testing()\n")
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 name)
    list(GET fields 1 output)
    list(GET fields 2 status)
    string(APPEND project
           "add_test(NAME ${name} COMMAND sh -c [==[cat \"$1\"; exit $2]==] replay "
           "[==[${CMAKE_CURRENT_LIST_DIR}/outputs/${output}]==] ${status})\n")
endforeach()
string(APPEND project "set(usual")
foreach(pattern IN LISTS gtest_skipped_only qtest_skipped_only)
    string(APPEND project " [==[${pattern}]==]")
endforeach()
string(APPEND project ")\nset(ci")
foreach(pattern IN LISTS any_skip)
    string(APPEND project " [==[${pattern}]==]")
endforeach()
string(APPEND project ")\nget_property(all DIRECTORY PROPERTY TESTS)\n"
       "if(AS_CI)\n  set_tests_properties(\${all} PROPERTIES FAIL_REGULAR_EXPRESSION \"\${ci}\")\n"
       "else()\n  set_tests_properties(\${all} PROPERTIES SKIP_REGULAR_EXPRESSION \"\${usual}\")\nendif()\n")
file(WRITE ${scratch}/source/CMakeLists.txt "${project}")

set(wrong "")
foreach(mode IN ITEMS usual ci)
    if(mode STREQUAL "ci")
        set(as_ci ON)
        set(column 4)
    else()
        set(as_ci OFF)
        set(column 3)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${scratch}/source -B ${scratch}/${mode} -G ${GENERATOR}
                            -DAS_CI=${as_ci}
                    RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE errors)
    if(NOT configured EQUAL 0)
        file(REMOVE_RECURSE ${scratch})
        message(FATAL_ERROR "the scratch project did not configure:\n${errors}")
    endif()
    execute_process(COMMAND ${CTEST} --test-dir ${scratch}/${mode} OUTPUT_VARIABLE verdicts ERROR_QUIET)
    foreach(case IN LISTS cases)
        string(REPLACE "|" ";" fields "${case}")
        list(GET fields 0 name)
        list(GET fields ${column} expected)
        if(NOT verdicts MATCHES "Test +#[0-9]+: ${name} \\.+[* ]*${expected} ")
            string(APPEND wrong "  ${mode}: ${name} should be ${expected}\n")
        endif()
    endforeach()
endforeach()
file(REMOVE_RECURSE ${scratch})
if(wrong)
    message(FATAL_ERROR "the skip rule gave the wrong verdict:\n${wrong}")
endif()
message(STATUS "the skip rule gave the expected verdict for every recorded output")

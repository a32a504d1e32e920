# CMake helpers shared by the test folders.

# One ctest entry per GoogleTest filter of one test program, each its own
# process (for process-wide state such as SDL's audio or a worker left stuck):
#   tonare_add_gtest_cases(<program> <prefix> [TIMEOUT <seconds>]
#                          [ENVIRONMENT <VAR=value>...] CASES <suffix>=<filter>...)
# adds <prefix>_<suffix>, running <program> --gtest_filter=<filter>.
function(tonare_add_gtest_cases program prefix)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "TIMEOUT" "ENVIRONMENT;CASES")
    if(arg_UNPARSED_ARGUMENTS OR NOT arg_CASES)
        message(FATAL_ERROR "tonare_add_gtest_cases: expected CASES <suffix>=<filter>..., got ${ARGN}")
    endif()
    foreach(case IN LISTS arg_CASES)
        string(FIND "${case}" "=" at)
        if(at LESS 1)
            message(FATAL_ERROR "tonare_add_gtest_cases: \"${case}\" is not <suffix>=<filter>")
        endif()
        string(SUBSTRING "${case}" 0 ${at} suffix)
        math(EXPR from "${at} + 1")
        string(SUBSTRING "${case}" ${from} -1 filter)
        add_test(NAME ${prefix}_${suffix} COMMAND ${program} --gtest_filter=${filter})
        if(arg_TIMEOUT)
            set_tests_properties(${prefix}_${suffix} PROPERTIES TIMEOUT ${arg_TIMEOUT})
        endif()
        if(arg_ENVIRONMENT)
            set_tests_properties(${prefix}_${suffix} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
        endif()
    endforeach()
endfunction()

# Fails if the renderer's, the envelope generator's or the offline render's object code holds a
# floating-point arithmetic, comparison or conversion instruction: the audio
# path must stay in integers. Plain SSE moves and integer SIMD are allowed.
#
#   cmake -DOBJDUMP=<objdump> -DOBJECTS=<object files> -P no_float_ops.cmake
# OBJECTS may hold every object of the library; only the render.cpp, envelope.cpp
# and offline.cpp objects are checked, and all three must be present.

set(checked "")
foreach(object IN LISTS OBJECTS)
    if(object MATCHES "/(render|envelope|offline)\\.cpp\\.o(bj)?$")
        list(APPEND checked "${object}")
    endif()
endforeach()
list(LENGTH checked count)
if(NOT count EQUAL 3)
    message(FATAL_ERROR "expected the render.cpp, envelope.cpp and offline.cpp objects, found: ${checked}")
endif()

# Scalar and packed float arithmetic (SSE/AVX, with or without the v prefix),
# fused multiply-add, conversions, float compares, and every x87 instruction.
set(float_mnemonic
    "^v?(add|sub|mul|div|sqrt|min|max|rcp|rsqrt|round|hadd|hsub|addsub|dp|cmp)(ss|sd|ps|pd|sh|ph)$|^v?cvt|^v?u?comis[sdh]$|^vf(n?m(add|sub)|maddsub|msubadd)|^f")
set(prefixes "^(rep|repz|repnz|repe|repne|lock|data16|addr32|cs|ds|es|ss|fs|gs|notrack|bnd)$")

set(found "")
foreach(object IN LISTS checked)
    execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${object}"
                    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} failed on ${object}")
    endif()
    string(REPLACE ";" "," listing "${listing}")
    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    set(instructions 0)
    foreach(line IN LISTS lines)
        # Instruction lines look like "   1c:\tmovzbl 0x0(%rip),%eax".
        if(NOT line MATCHES "^ *[0-9a-f]+:\t(.*)$")
            continue()
        endif()
        string(REGEX MATCHALL "[^ \t]+" words "${CMAKE_MATCH_1}")
        foreach(word IN LISTS words)
            if(NOT word MATCHES "${prefixes}")
                set(mnemonic "${word}")
                break()
            endif()
        endforeach()
        math(EXPR instructions "${instructions} + 1")
        if(mnemonic MATCHES "${float_mnemonic}")
            list(APPEND found "${object}: ${line}")
        endif()
    endforeach()
    if(instructions EQUAL 0)
        message(FATAL_ERROR "no instructions disassembled from ${object}")
    endif()
    message(STATUS "${object}: ${instructions} instructions checked")
endforeach()

if(found)
    list(JOIN found "\n" report)
    message(FATAL_ERROR "floating-point instructions on the audio path:\n${report}")
endif()

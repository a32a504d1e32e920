# Debian's hardening for the shipped build: the flags dpkg-buildflags gives with
# hardening=+all (stack protector, _FORTIFY_SOURCE, full RELRO with BIND_NOW;
# PIE is the compiler's default on Debian). CMake ignores CPPFLAGS, so they are
# folded in here. The build type keeps choosing optimisation and debug info, and
# build paths stay as they are.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

function(tonare_debian_flags variable kind)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags
        OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O.*|g[0-9]*|ffile-prefix-map=.*)$")
    set(${variable} ${flags} PARENT_SCOPE)
endfunction()

tonare_debian_flags(hardening_cxx CXXFLAGS)
tonare_debian_flags(hardening_cpp CPPFLAGS)
tonare_debian_flags(hardening_ld LDFLAGS)

# _FORTIFY_SOURCE needs an optimised build; the C library warns otherwise.
foreach(flag IN LISTS hardening_cpp)
    if(flag MATCHES "^-D_FORTIFY_SOURCE")
        add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${flag}>")
    else()
        add_compile_options(${flag})
    endif()
endforeach()
add_compile_options(${hardening_cxx})
add_link_options(${hardening_ld})
message(STATUS "Hardening: ${hardening_cxx} ${hardening_cpp} ${hardening_ld}")

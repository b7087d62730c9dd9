# Debian's build flags (dpkg-buildflags, every hardening feature on: fortified functions,
# stack protector, read-only relocations bound at start) for the programs a package carries.
# The build type keeps its own optimisation and debug settings: -g and -O are left out of
# Debian's set, and a Debug build, unoptimised, takes no _FORTIFY_SOURCE (it needs -O).
# -ffile-prefix-map is left out too: it names the source folder, so builds of the same code in
# two folders could no longer share the compiler cache.
find_program(MORATUTOR_DPKG_BUILDFLAGS dpkg-buildflags)
if(MORATUTOR_DPKG_BUILDFLAGS AND NOT MORATUTOR_BUILD_FUZZERS)
    set(moratutor_debian_flags_default ON)
else()
    set(moratutor_debian_flags_default OFF)
endif()
option(MORATUTOR_DEBIAN_BUILD_FLAGS "Compile and link with Debian's hardening flags from dpkg-buildflags"
    ${moratutor_debian_flags_default})

function(moratutor_dpkg_buildflags variable out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${MORATUTOR_DPKG_BUILDFLAGS} --get ${variable}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed; configure with -DMORATUTOR_DEBIAN_BUILD_FLAGS=OFF")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(MORATUTOR_DEBIAN_BUILD_FLAGS)
    if(NOT MORATUTOR_DPKG_BUILDFLAGS)
        message(FATAL_ERROR "MORATUTOR_DEBIAN_BUILD_FLAGS needs dpkg-buildflags (package dpkg-dev)")
    endif()
    moratutor_dpkg_buildflags(CPPFLAGS cppflags)
    moratutor_dpkg_buildflags(CXXFLAGS cxxflags)
    moratutor_dpkg_buildflags(LDFLAGS ldflags)
    list(FILTER cxxflags EXCLUDE REGEX "^-(g|O|ffile-prefix-map=).*$")
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
        list(FILTER cppflags EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
    endif()
    add_compile_options(${cppflags} ${cxxflags})
    add_link_options(${ldflags})
    message(STATUS "Debian build flags: ${cppflags} ${cxxflags} / ${ldflags}")
endif()

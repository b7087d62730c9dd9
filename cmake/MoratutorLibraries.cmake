# One of the project's static libraries: `target`, its `Moratutor::` alias, the project's
# warnings, and its headers for those that link it: its own folder, or with LAYERED its
# include/ folder (the sources' own folder stays private). PLAIN is LAYERED for plain C++
# without Qt: Qt's code generators are kept away from it.
function(moratutor_add_library target alias)
    cmake_parse_arguments(PARSE_ARGV 2 arg "PLAIN;LAYERED" "" "")
    add_library(${target} STATIC ${arg_UNPARSED_ARGUMENTS})
    add_library(${alias} ALIAS ${target})
    moratutor_set_warnings(${target})
    if(arg_PLAIN OR arg_LAYERED)
        target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
    else()
        target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    if(arg_PLAIN)
        set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
    endif()
endfunction()

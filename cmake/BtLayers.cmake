# A layer's headers are reachable only through a link to the layer's target. Sources
# spell includes from src/ ("bt/ibluetooth.h"); each target gets an include root of its
# own, ${CMAKE_BINARY_DIR}/include/<target>, holding one link named after the folder: to
# the whole folder, or (with HEADERS) a folder of links to those headers only.
#
# bt_layer_headers(<target> <folder under src, or at the top> [HEADERS <file>...])
function(bt_layer_headers target folder)
    cmake_parse_arguments(L "" "" "HEADERS" ${ARGN})
    set(root "${CMAKE_BINARY_DIR}/include/${target}")
    # The engine's folders lie under src/; the programs' and simulators' at the top.
    set(source "${PROJECT_SOURCE_DIR}/src/${folder}")
    if(NOT IS_DIRECTORY "${source}")
        set(source "${PROJECT_SOURCE_DIR}/${folder}")
    endif()
    # Made afresh: a build folder from before may hold the folder link where links to
    # single headers go now (writing them through it would overwrite src/), or links to
    # headers no longer listed.
    if(IS_SYMLINK "${root}/${folder}")
        file(REMOVE "${root}/${folder}")
    elseif(IS_DIRECTORY "${root}/${folder}")
        file(REMOVE_RECURSE "${root}/${folder}")
    endif()
    if(L_HEADERS)
        file(MAKE_DIRECTORY "${root}/${folder}")
        foreach(header IN LISTS L_HEADERS)
            file(CREATE_LINK "${source}/${header}" "${root}/${folder}/${header}" SYMBOLIC)
        endforeach()
    else()
        file(MAKE_DIRECTORY "${root}")
        file(CREATE_LINK "${source}" "${root}/${folder}" SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE "${root}")
    else()
        target_include_directories(${target} PUBLIC "${root}")
    endif()
endfunction()

# The few functions every folder's CMakeLists.txt uses to declare what it
# builds. Each target names its files and its libraries; nothing is decided
# by a file's name or contents.
include_guard(GLOBAL)

# hvtk_include_folders(TARGET FOLDER...): TARGET, and everything that links
# it, sees #include "FOLDER/..." for these folders only. Its include
# directory is a tree of links in the build folder (include-trees/TARGET/),
# not the source root, so an include against the dependency arrows fails.
function(hvtk_include_folders target)
    set(tree ${HVTK_INCLUDE_TREES}/${target})
    file(MAKE_DIRECTORY ${tree})
    foreach(folder IN LISTS ARGN)
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${tree}/${folder} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${tree})
endfunction()

# hvtk_add_library(NAME FOLDER folder SOURCES file... [LINKS library...]):
# the static library of one folder's widget-free code.
function(hvtk_add_library name)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    hvtk_include_folders(${name} ${ARG_FOLDER})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# hvtk_add_test(NAME SOURCES file... [LINKS library...] [LABELS label...]
#               [DEFINES definition...] [DEPENDS target...] [SERIAL]
#               [TIMEOUT seconds])
# One Qt Test suite. It runs inside its own private network namespace
# (scripts/private-lan), offscreen, so it may open sockets, start simulated
# units and broadcast without anything leaving the machine. DEFINES may name
# programs by generator expression ($<TARGET_FILE:hvtk-unit-sim>), and
# DEPENDS builds those programs first; both work whichever folder declares
# the program. Labels: `unit` (widget-free code, no sockets), `window` (runs
# a QApplication), `network` (opens sockets or starts processes), `slow`
# (ten seconds or more). SERIAL: the suite asserts on timings and runs alone.
function(hvtk_add_test name)
    cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;LINKS;LABELS;DEFINES;DEPENDS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} Qt::Test)
    target_compile_definitions(${name} PRIVATE
        HVTK_PRIVATE_LAN="${CMAKE_SOURCE_DIR}/scripts/private-lan"
        HVTK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        ${ARG_DEFINES})
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/private-lan $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        RUN_SERIAL ${ARG_SERIAL})
endfunction()

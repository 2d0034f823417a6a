# Build helpers shared by every folder.

set(TOLVERN_EMPTY_SOURCE ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)

# Globs the .cpp files below DIRS into one static library. QT among LIBS turns on moc and the
# precompiled Qt header for it.
function(tolvern_layer name)
    cmake_parse_arguments(A "" "" "DIRS;EXCLUDE;LIBS" ${ARGN})
    set(srcs)
    foreach(d ${A_DIRS})
        file(GLOB_RECURSE s CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${d}/*.cpp)
        list(APPEND srcs ${s})
    endforeach()
    foreach(e ${A_EXCLUDE})
        list(FILTER srcs EXCLUDE REGEX "${e}")
    endforeach()
    set(libs ${A_LIBS})
    set(qt OFF)
    if("QT" IN_LIST libs)
        list(REMOVE_ITEM libs QT)
        set(qt ON)
        foreach(d ${A_DIRS})
            file(GLOB_RECURSE h CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${d}/*.h)
            list(APPEND srcs ${h})
        endforeach()
    endif()
    add_library(${name} STATIC ${TOLVERN_EMPTY_SOURCE} ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${libs})
    if(qt)
        tolvern_use_qt(${name})
    endif()
endfunction()

# moc and a precompiled header of the Qt classes we use, for a target that includes Qt.
function(tolvern_use_qt target)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_precompile_headers(${target} PRIVATE <QtCore> <QtGui> <QtWidgets>)
endfunction()

# One GoogleTest executable for a tests/ folder, registered with CTest.
function(tolvern_test name)
    cmake_parse_arguments(A "" "" "DIRS;LIBS" ${ARGN})
    set(srcs)
    foreach(d ${A_DIRS})
        file(GLOB_RECURSE s CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
        list(APPEND srcs ${s})
    endforeach()
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE ${A_LIBS} tv_testsupport)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # Every test has a time limit, so that one that hangs cannot hold up the suite: a few minutes,
    # which the tests on an X server take under the sanitizers at most.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# Link options of a loadable library: its own symbols bind inside it, and every symbol it uses
# must be found at link time. Clang's sanitizers keep their runtime in the executable only, so a
# sanitized module leaves the runtime's symbols for the program to resolve at load.
function(tolvern_module_link_options target)
    target_link_options(${target} PRIVATE -Wl,-Bsymbolic)
    if(NOT ((TOLVERN_SANITIZE OR TOLVERN_FUZZ) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
        target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
endfunction()

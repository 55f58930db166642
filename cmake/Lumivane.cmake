# lumivane_library(NAME DIR DEPS ...): a static library from every source below DIR.
# A folder holds one subsystem; its sources are picked up without editing this file.
function(lumivane_library name dir)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.h)
    # The executables' folders below app/ are not part of the core.
    list(FILTER srcs EXCLUDE REGEX "/app/(cli|gui)/")
    if(NOT srcs)
        set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PUBLIC
        LUMIVANE_VERSION="${PROJECT_VERSION}"
        QT_NO_KEYWORDS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# lumivane_test(NAME DIR DEPS ...): one GoogleTest executable from tests/DIR/*.cpp.
function(lumivane_test name dir)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${dir}/*.cpp)
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} lv_testsupport GTest::gtest)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
        PROPERTIES ENVIRONMENT "LUMIVANE_SETTINGS_DIR=${PROJECT_BINARY_DIR}/test-settings;QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()

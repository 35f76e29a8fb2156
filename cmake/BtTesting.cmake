include(GoogleTest)

# Every test process runs offscreen with a HOME and APPDATA of its own, so nothing a
# test writes into the settings folder can leak into another test or the user's home.
set(BT_TEST_WRAPPER "${CMAKE_SOURCE_DIR}/tests/isolate.sh")

# The labels of the tests, each with its time-out in seconds:
#   unit   plain functions and tables, in-process
#   sim    against the phone simulator (in-process, or phonesim on a pseudo-terminal) and
#          the other simulated instruments, programs as a line runs them
#   ui     the form and the station's windows, offscreen
#   fuzz   replays of the fuzz targets' corpora
#   store  the results store on SQLite and on a PostgreSQL server the test starts
#   load   a line of stations at once against one server
set(BT_TIMEOUT_unit 60)
set(BT_TIMEOUT_sim 120)
set(BT_TIMEOUT_ui 180)
set(BT_TIMEOUT_fuzz 120)
set(BT_TIMEOUT_store 180)
set(BT_TIMEOUT_load 900)

# bt_add_gtest(NAME LABEL <unit|sim|ui|fuzz|store|load> SOURCES ... LIBS ...)
function(bt_add_gtest name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock bt_gtest_main bt_warnings)
    # The helpers tests share (phone and btrun processes, hand-filled stores, ...).
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    # Test code itself needs no optimisation (the libraries under test keep theirs), and
    # the test macros are slow to optimise.
    target_compile_options(${name} PRIVATE -O0)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${BT_TEST_WRAPPER}")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${T_LABEL} TIMEOUT ${BT_TIMEOUT_${T_LABEL}})
endfunction()

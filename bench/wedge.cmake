# Typing a reading into an xterm on Xvfb: hand-over to XTEST's return and to
# arrival (run under tests/app/run-under-window-manager.sh).
brisquell_add_bench(wedge_bench
    SOURCES wedge/WedgeBench.cpp ${CMAKE_SOURCE_DIR}/tests/wedge/XtermTarget.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/ChildProcess.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/TestEnvironment.cpp
    LIBS wedge)

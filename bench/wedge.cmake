# Typing a reading into an xterm on Xvfb: hand-over to XTEST's return and to
# arrival (run under tests/app/run-under-window-manager.sh).
brisquell_add_bench(wedge_bench
    SOURCES wedge/WedgeBench.cpp ${CMAKE_SOURCE_DIR}/tests/wedge/XtermTarget.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/ChildProcess.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/TestEnvironment.cpp
    LIBS wedge)

# The real window with a gauge, typing into an xterm on Xvfb: the capture's
# CPU with typing off and on, and a reading's way from the gauge to the
# xterm (run under tests/app/run-under-window-manager.sh).
brisquell_add_bench(wedge_window_bench
    SOURCES wedge/WedgeWindowBench.cpp ${CMAKE_SOURCE_DIR}/tests/wedge/XtermTarget.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/ChildProcess.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/Pty.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/TestEnvironment.cpp
    LIBS brisquell_app oskit)

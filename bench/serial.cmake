# The serial component on a pseudo-terminal: throughput through the event
# thread, idle cost, and how fast Close ends the thread.
brisquell_add_bench(serial_bench
    SOURCES SerialBench.cpp ${CMAKE_SOURCE_DIR}/tests/support/Pty.cpp LIBS serial oskit)

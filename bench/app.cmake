brisquell_add_bench(reception_bench SOURCES app/ReceptionBench.cpp LIBS brisquell_app)
brisquell_add_bench(editor_bench SOURCES app/EditorBench.cpp LIBS brisquell_app)

# The language switch carries the program's catalogs, as the program does.
brisquell_add_bench(translation_bench SOURCES app/TranslationBench.cpp LIBS brisquell_app)
brisquell_carry_catalogs(translation_bench)

# A simulated gauge on a pseudo-terminal feeding the real window, profile 3.
brisquell_add_bench(instrument_bench
    SOURCES app/InstrumentBench.cpp ${CMAKE_SOURCE_DIR}/tests/support/Pty.cpp
    LIBS brisquell_app oskit)

# Opening and saving a document of 1,000,000 readings.
brisquell_add_bench(document_bench SOURCES app/DocumentBench.cpp LIBS brisquell_app)

# What the capture journal costs at the line rate and at one reading a second.
brisquell_add_bench(journal_bench SOURCES app/JournalBench.cpp LIBS brisquell_app)

brisquell_add_bench(reception_bench SOURCES app/ReceptionBench.cpp LIBS brisquell_app)
brisquell_add_bench(editor_bench SOURCES app/EditorBench.cpp LIBS brisquell_app)

# The language switch carries the test catalogs appended, as the program does.
brisquell_add_bench(translation_bench SOURCES app/TranslationBench.cpp LIBS brisquell_app)
brisquell_carry_test_catalogs(translation_bench)

brisquell_add_bench(reception_bench SOURCES app/ReceptionBench.cpp LIBS brisquell_app)
brisquell_add_bench(editor_bench SOURCES app/EditorBench.cpp LIBS brisquell_app)

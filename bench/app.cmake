brisquell_add_bench(reception_bench SOURCES app/ReceptionBench.cpp LIBS brisquell_app)
brisquell_add_bench(editor_bench SOURCES app/EditorBench.cpp LIBS brisquell_app)

# The language switch carries the test catalogs appended, as the program does.
set(BENCH_CATALOGS ${CMAKE_CURRENT_BINARY_DIR}/catalogs)
set(BENCH_PO ${CMAKE_SOURCE_DIR}/tests/i18n/data)
brisquell_compile_catalogs(bench_catalogs OUTPUT_DIR ${BENCH_CATALOGS} CATALOGS
    locale/de/LC_MESSAGES/default.mo=${BENCH_PO}/de.po
    locale/en/LC_MESSAGES/default.mo=${BENCH_PO}/en.po
    locale/fr/LC_MESSAGES/default.mo=${BENCH_PO}/fr.po)
brisquell_add_bench(translation_bench SOURCES app/TranslationBench.cpp LIBS brisquell_app)
brisquell_append_files(translation_bench BASE_DIR ${BENCH_CATALOGS}
    FILES locale/de/LC_MESSAGES/default.mo
          locale/en/LC_MESSAGES/default.mo
          locale/fr/LC_MESSAGES/default.mo
    DEPENDS bench_catalogs)

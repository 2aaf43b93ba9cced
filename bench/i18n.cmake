# Translation engine: catalog lookups. Catalogs compiled from the test .po files.
set(I18N_BENCH_LOCALE ${CMAKE_CURRENT_BINARY_DIR}/i18n_locale)
brisquell_compile_catalogs(i18n_bench_catalogs OUTPUT_DIR ${I18N_BENCH_LOCALE} CATALOGS
    en/LC_MESSAGES/default.mo=${CMAKE_SOURCE_DIR}/tests/i18n/data/en.po
    fr/LC_MESSAGES/default.mo=${CMAKE_SOURCE_DIR}/tests/i18n/data/fr.po)
brisquell_add_bench(i18n_bench SOURCES i18n_bench.cpp LIBS i18n)
add_dependencies(i18n_bench i18n_bench_catalogs)
target_compile_definitions(i18n_bench PRIVATE I18N_BENCH_LOCALE="${I18N_BENCH_LOCALE}")

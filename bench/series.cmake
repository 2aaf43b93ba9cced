# Readings as measurements: adding 1,000,000 readings (time and resident
# memory), their figures and their export.
brisquell_add_bench(series_bench SOURCES series/SeriesBench.cpp LIBS series)

# One line per fuzz target: vext_fuzz_target(NAME SOURCE file LIBS libs).

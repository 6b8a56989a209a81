# One line per fuzz target: vext_fuzz_target(NAME SOURCE file LIBS libs).
vext_fuzz_target(sample SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/sample.cpp LIBS klangmod_core)

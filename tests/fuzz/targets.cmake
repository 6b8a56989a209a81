# One line per fuzz target: vext_fuzz_target(NAME SOURCE file LIBS libs).
vext_fuzz_target(leveltoml SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/leveltoml.cpp LIBS spielmod_core)

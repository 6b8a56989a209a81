# One line per fuzz target: vext_fuzz_target(NAME SOURCE file LIBS libs).
vext_fuzz_target(mesh SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/mesh.cpp LIBS vext)
vext_fuzz_target(uvtex SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/uvtex.cpp LIBS vext)
vext_fuzz_target(md2 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/md2.cpp LIBS vext)

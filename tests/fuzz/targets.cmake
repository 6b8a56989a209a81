# One line per fuzz target: vext_fuzz_target(NAME SOURCE file LIBS libs).
vext_fuzz_target(mesh SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/mesh.cpp LIBS vext)
vext_fuzz_target(uvtex SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/uvtex.cpp LIBS vext)
vext_fuzz_target(md2 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/md2.cpp LIBS vext)
vext_fuzz_target(ppm SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/ppm.cpp LIBS vext_image)
vext_fuzz_target(tga SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tga.cpp LIBS vext_image)
vext_fuzz_target(texdef SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/texdef.cpp LIBS vext_image)
vext_fuzz_target(sample SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/sample.cpp LIBS klangmod_core)
vext_fuzz_target(leveltoml SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/leveltoml.cpp LIBS spielmod_core)

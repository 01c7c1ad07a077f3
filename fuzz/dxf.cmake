# The DXF reader, the drawing engine and the renderer's scene building on
# arbitrary bytes. The dxf and render libraries are instrumented too when this
# build makes fuzzers, so coverage guides the search.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(dxf PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  target_compile_options(render PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endif()
korvel_fuzzer(fuzz_dxf SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_dxf.cpp LIBS render)

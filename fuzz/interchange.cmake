# The GPX, CSV, KML and KMZ readers on arbitrary bytes.
korvel_fuzzer(fuzz_interchange SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_interchange.cpp LIBS interchange)
target_compile_options(interchange PRIVATE -fsanitize=fuzzer-no-link,address,undefined)

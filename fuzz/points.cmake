# The points file reader on arbitrary bytes.
korvel_fuzzer(fuzz_points SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_points.cpp LIBS files)
# Coverage and sanitizer checks inside the reader itself, not only in the harness.
target_compile_options(files PRIVATE -fsanitize=fuzzer-no-link,address,undefined)

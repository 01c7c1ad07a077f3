# Point and line insertion: 10,000 rows into one drawing of the built-in engine.
add_executable(bench_insert ${CMAKE_CURRENT_SOURCE_DIR}/bench_insert.cpp)
target_link_libraries(bench_insert PRIVATE shell cad)

# Points files: open 100,000 rows into the table and save them.
add_executable(bench_files ${CMAKE_CURRENT_SOURCE_DIR}/bench_files.cpp)
target_link_libraries(bench_files PRIVATE files benchmark::benchmark)

# Interchange: import a 100,000-point GPX track into the table and export it, beside gpsbabel.
add_executable(bench_interchange ${CMAKE_CURRENT_SOURCE_DIR}/bench_interchange.cpp)
target_link_libraries(bench_interchange PRIVATE shell)

# Delete Selected Rows on 100,000 rows with every other row marked.
add_executable(bench_edit ${CMAKE_CURRENT_LIST_DIR}/bench_edit.cpp)
target_link_libraries(bench_edit PRIVATE shell)

# Drawing engine on a big drawing: read, append one labelled block, write,
# against ezdxf doing the same (timed program, prints figures).
add_executable(bench_cad_big ${CMAKE_CURRENT_LIST_DIR}/bench_cad_big.cpp)
target_link_libraries(bench_cad_big PRIVATE dxf platform_core Qt6::Core)
target_compile_definitions(bench_cad_big PRIVATE KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# Drawing engine: 10,000 point insertions through ACADStuff against ezdxf doing
# the same (timed program), and frames of the drawing window's renderer.
add_executable(bench_cad ${CMAKE_CURRENT_LIST_DIR}/bench_cad.cpp)
target_link_libraries(bench_cad PRIVATE cad Qt6::Widgets)
target_compile_definitions(bench_cad PRIVATE KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_executable(bench_cad_render ${CMAKE_CURRENT_LIST_DIR}/bench_cad_render.cpp)
target_link_libraries(bench_cad_render PRIVATE cad Qt6::Widgets benchmark::benchmark)
target_compile_definitions(bench_cad_render PRIVATE KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_executable(bench_drawing_window ${CMAKE_CURRENT_LIST_DIR}/bench_drawing_window.cpp)
target_link_libraries(bench_drawing_window PRIVATE cad Qt6::Widgets)

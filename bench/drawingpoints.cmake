# Reading the points of a 100,000-block drawing against ezdxf reading it.
add_executable(bench_drawingpoints ${CMAKE_CURRENT_LIST_DIR}/bench_drawingpoints.cpp)
target_link_libraries(bench_drawingpoints PRIVATE dxf Qt6::Core)
target_compile_definitions(bench_drawingpoints PRIVATE KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

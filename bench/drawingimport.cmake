# A drawing of 100,000 labelled blocks read into waypoint rows, beside ezdxf reading it.
add_executable(bench_drawingimport ${CMAKE_CURRENT_LIST_DIR}/bench_drawingimport.cpp)
target_link_libraries(bench_drawingimport PRIVATE cad shell dxf table Qt6::Core)
target_compile_definitions(bench_drawingimport PRIVATE KORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

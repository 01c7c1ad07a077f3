# Download of 500 waypoints from the simulator at 4800-baud pacing: GPSDevice
# against gpsbabel and against the wire time. A timed program that prints figures.
add_executable(bench_gps_download ${CMAKE_CURRENT_LIST_DIR}/bench_gps_download.cpp)
target_link_libraries(bench_gps_download PRIVATE gps)
add_dependencies(bench_gps_download magellan-sim)

# UTM conversion against GeographicLib and PROJ (benchmark-only dependencies),
# and the time of zenobar --batch (both ways) on a million lines.
find_library(GEOGRAPHICLIB_LIBRARY NAMES GeographicLib REQUIRED)
find_path(GEOGRAPHICLIB_INCLUDE_DIR GeographicLib/UTMUPS.hpp REQUIRED)
find_package(PROJ REQUIRED CONFIG)

add_executable(bench_conversion ${CMAKE_CURRENT_LIST_DIR}/bench_conversion.cpp)
target_include_directories(bench_conversion PRIVATE ${GEOGRAPHICLIB_INCLUDE_DIR})
target_link_libraries(bench_conversion PRIVATE conversion ${GEOGRAPHICLIB_LIBRARY} PROJ::proj)

# The shell script lands in bin/ without its extension so scripts/bench.sh runs it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_zenobar_batch.sh ${KORVEL_BIN_DIR}/bench_zenobar_batch COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE)
# zenobar --batch --inverse beside GeoConvert and cs2cs.
configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_zenobar_inverse.sh ${KORVEL_BIN_DIR}/bench_zenobar_inverse COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE)
# The command line's --convert beside ezdxf and gpsbabel.
configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_convert.sh ${KORVEL_BIN_DIR}/bench_convert COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE)

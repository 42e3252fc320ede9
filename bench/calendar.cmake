# list-occurrences on the desktop's own store: a private evolution-data-server with a
# calendar of 1,000 events, a third of them weekly series.
add_executable(calendar_occurrences_bench ${CMAKE_CURRENT_LIST_DIR}/calendar_occurrences_bench.cpp
                                          ${CMAKE_SOURCE_DIR}/calendar/tests/evolution_server.cpp)
target_link_libraries(calendar_occurrences_bench PRIVATE qv_foundation qv_test_support qv_evolution)
add_dependencies(calendar_occurrences_bench quorvantel-calendar)

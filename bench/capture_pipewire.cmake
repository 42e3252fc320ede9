# A real recording through a private PipeWire: the helper's CPU per recorded hour and
# the latency from a sample played to its audio line.
if(TARGET qv_capture_test_servers)
  add_executable(capture_pipewire_bench ${CMAKE_CURRENT_LIST_DIR}/capture_pipewire_bench.cpp)
  target_link_libraries(capture_pipewire_bench PRIVATE qv_foundation qv_capture_test_servers)
  add_dependencies(capture_pipewire_bench quorvantel-capture)
endif()

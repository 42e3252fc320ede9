# The recording's conversion and emission path, from ring slot to written line.
if(TARGET qv_capture_recording)
  add_executable(capture_recording_bench ${CMAKE_CURRENT_LIST_DIR}/capture_recording_bench.cpp)
  target_link_libraries(capture_recording_bench PRIVATE qv_capture_recording)
endif()

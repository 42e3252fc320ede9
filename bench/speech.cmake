if(benchmark_FOUND)
  add_executable(speech_parse_message_bench ${CMAKE_CURRENT_LIST_DIR}/speech_parse_message_bench.cpp)
  target_link_libraries(speech_parse_message_bench PRIVATE qv_speech benchmark::benchmark)
endif()

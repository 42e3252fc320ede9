if(benchmark_FOUND)
  add_executable(speech_parse_message_bench ${CMAKE_CURRENT_LIST_DIR}/speech_parse_message_bench.cpp)
  target_link_libraries(speech_parse_message_bench PRIVATE qv_speech benchmark::benchmark)
endif()

add_executable(speech_run_bench ${CMAKE_CURRENT_LIST_DIR}/speech_run_bench.cpp)
target_link_libraries(speech_run_bench PRIVATE qv_foundation qv_test_support Threads::Threads)
add_dependencies(speech_run_bench quorvantel-speech)

# Accuracy, speed and latency on this machine's own recogniser (pocketsphinx).
add_executable(speech_recognition_bench ${CMAKE_CURRENT_LIST_DIR}/speech_recognition_bench.cpp)
target_link_libraries(speech_recognition_bench PRIVATE qv_foundation qv_linux_pocketsphinx qv_test_support
                      Threads::Threads)
add_dependencies(speech_recognition_bench quorvantel-speech)

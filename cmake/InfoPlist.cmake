# quorvantel_embed_info_plist(<target> <plist file>): carries the XML property list
# inside the executable in its own section, "__info_plist", where a macOS build keeps
# it in __TEXT,__info_plist. The file is the one source of the list.
function(quorvantel_embed_info_plist target plist)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_info_plist.cpp)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${plist} -DOUTPUT=${source} -P ${QUORVANTEL_INFO_PLIST_SCRIPT}
    DEPENDS ${plist} ${QUORVANTEL_INFO_PLIST_SCRIPT}
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
set(QUORVANTEL_INFO_PLIST_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/GenerateInfoPlist.cmake CACHE INTERNAL "")

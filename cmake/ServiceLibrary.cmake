# quorvantel_service_library(<target> [LINKS <libs>...]): a library of every .cpp in the
# calling folder, so that several subsystems can add their files to one platform
# service without editing the same list. A folder of headers only gives an interface
# library.
function(quorvantel_service_library target)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_LINKS})
  endif()
endfunction()

# The host layer's parts include only the parts below or beside them (the
# ZELHOST_USES_<part> lists), and nothing in the host includes the library.
# Checked at configure time, so a stray include fails the build at once.
function(zel_check_host_file file part)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    if(line MATCHES "[<\"]zelobjsys/")
      message(SEND_ERROR "${file} includes a zelobjsys header: the host layer must not")
    endif()
    if(part AND line MATCHES "[<\"](zelhost|host)/([a-z_]+)/")
      set(used ${CMAKE_MATCH_2})
      if(NOT used IN_LIST ZELHOST_USES_${part})
        message(SEND_ERROR "${file}: the host's ${part} may not include its ${used} "
                            "(it may include: ${ZELHOST_USES_${part}})")
      endif()
    endif()
  endforeach()
endfunction()

file(GLOB ZELHOST_TOP CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/host/*.*
                                        ${CMAKE_SOURCE_DIR}/include/zelhost/*.*)
foreach(f ${ZELHOST_TOP})
  zel_check_host_file(${f} "")
endforeach()
foreach(part ${ZELHOST_PARTS})
  file(GLOB_RECURSE part_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/host/${part}/*
                                                  ${CMAKE_SOURCE_DIR}/include/zelhost/${part}/*)
  foreach(f ${part_files})
    zel_check_host_file(${f} ${part})
  endforeach()
endforeach()

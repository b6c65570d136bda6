# The property factory's XML definitions over arbitrary bytes: sections,
# includes (cycles too), single properties and help, defined into a class.
if(TARGET zelobjsys)
  zel_add_fuzzer(xml_definitions_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_definitions_fuzz.cpp
    LIBS zelobjsys zelhost
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/xml)
  # The bundled product's property files seed the working corpus as well.
  file(COPY ${CMAKE_SOURCE_DIR}/examples/simdev/scope.xml ${CMAKE_SOURCE_DIR}/examples/simdev/fgen.xml
       DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/xml_definitions_fuzz_corpus)
endif()

# The XML property reader over arbitrary bytes. It compiles the reader's source
# directly so that it needs Xerces and the host's exception base alone, not the
# whole library.
zel_add_fuzzer(xml_prop_reader_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_prop_reader_fuzz.cpp
          ${CMAKE_SOURCE_DIR}/src/definition/xml_prop_reader.cpp
  LIBS zelhost XercesC::XercesC
  CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/xml)

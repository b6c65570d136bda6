# A property file from arbitrary bytes through simdev's devclass, then objects
# of the class: every property set to decoded values, read back, described and
# the objects deleted. Seeded with the XML corpus and the bundled files.
if(TARGET zelsh_core AND TARGET simdev)
  zel_add_fuzzer(property_file_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/property_file_fuzz.cpp
    LIBS zelsh_core
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/property_file
    SEEDS ${CMAKE_SOURCE_DIR}/examples/simdev/scope.xml ${CMAKE_SOURCE_DIR}/examples/simdev/fgen.xml)
  add_dependencies(property_file_fuzz simdev)  # loaded at run time
endif()

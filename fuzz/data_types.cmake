# Host values built from arbitrary bytes through every built-in, enumerated and
# constrained data type, into storage and back.
if(TARGET zelobjsys)
  zel_add_fuzzer(data_types_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/data_types_fuzz.cpp
    LIBS zelobjsys zelhost
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/data_types)
endif()

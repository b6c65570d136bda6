# The shell's parser and evaluator on arbitrary text, without products.
if(TARGET zelsh_core)
  zel_add_fuzzer(zelsh_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zelsh_fuzz.cpp
    LIBS zelsh_core
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/zelsh)
endif()

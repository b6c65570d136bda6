# The shell's parser and evaluator on arbitrary text, without products.
if(TARGET zelhost)
  zel_add_fuzzer(zelsh_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zelsh_fuzz.cpp
            ${CMAKE_SOURCE_DIR}/tools/zelsh/lexer.cpp ${CMAKE_SOURCE_DIR}/tools/zelsh/parser.cpp
            ${CMAKE_SOURCE_DIR}/tools/zelsh/value.cpp ${CMAKE_SOURCE_DIR}/tools/zelsh/interpreter.cpp
            ${CMAKE_SOURCE_DIR}/tools/zelsh/literals.cpp ${CMAKE_SOURCE_DIR}/tools/zelsh/builtins.cpp
    LIBS zelhost
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/zelsh)
  target_include_directories(zelsh_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/tools/zelsh)
endif()

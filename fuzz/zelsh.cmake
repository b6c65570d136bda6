# zelsh with the simdev product loaded, on arbitrary text: the parser and
# evaluator, objects, sets, callbacks, events and timers. Seeded with the golden
# scripts and the demo; the dictionary holds the language's words and simdev's
# functions, property names and setting texts.
if(TARGET zelsh_core AND TARGET simdev)
  file(GLOB zelsh_seeds ${CMAKE_SOURCE_DIR}/tests/shell/*.zel)
  zel_add_fuzzer(zelsh_fuzz
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zelsh_fuzz.cpp
    LIBS zelsh_core
    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/zelsh
    DICT ${CMAKE_CURRENT_SOURCE_DIR}/zelsh.dict
    SEEDS ${zelsh_seeds} ${CMAKE_SOURCE_DIR}/examples/simdev/demo.zel)
  add_dependencies(zelsh_fuzz simdev)  # loaded at run time
endif()

# The fuzz harnesses, built in one of two ways:
#   mcstat_add_fuzz_targets(libfuzzer)  - libFuzzer programs fuzz_<name> (clang only), run by
#                                          scripts/fuzz.sh;
#   mcstat_add_fuzz_targets(regression) - each harness linked with StandaloneMain.cpp and run
#                                          by ctest once over its committed corpus.
set(MCSTAT_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(mcstat_add_fuzz_targets kind)
  # name=source, the corpus of each harness in corpus/<name>.
  set(_harnesses
      binary_records=BinaryRecordsFuzz.cpp
      varlist_stream=VarListStreamFuzz.cpp
      urandom_stream=URandomStreamFuzz.cpp
      pmml_reader=PMMLReaderFuzz.cpp
      settings_reader=SettingsReaderFuzz.cpp
      combiner=CombinerFuzz.cpp)
  # The front end's CSV reader, compiled into the harness so that it is instrumented too.
  set(_frontend_dir ${PROJECT_SOURCE_DIR}/src/frontend)
  if(TARGET mcstat_frontend)
    list(APPEND _harnesses csv_reader=CsvReaderFuzz.cpp)
  endif()

  foreach(_entry ${_harnesses})
    string(REPLACE "=" ";" _pair ${_entry})
    list(GET _pair 0 _name)
    list(GET _pair 1 _source)
    set(_sources ${MCSTAT_FUZZ_DIR}/${_source})
    if(_name STREQUAL "csv_reader")
      list(APPEND _sources ${_frontend_dir}/CsvParser.cpp ${_frontend_dir}/ByteReader.cpp
                           ${_frontend_dir}/Text.cpp ${_frontend_dir}/Errors.cpp)
    endif()
    if(kind STREQUAL "libfuzzer")
      set(_target fuzz_${_name})
      add_executable(${_target} ${_sources})
      target_compile_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined
                                                -fno-omit-frame-pointer)
      target_link_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
    else()
      set(_target fuzz_${_name}_regression)
      add_executable(${_target} ${_sources} ${MCSTAT_FUZZ_DIR}/StandaloneMain.cpp)
      add_test(NAME fuzz_regression_${_name}
               COMMAND ${_target} ${MCSTAT_FUZZ_DIR}/corpus/${_name})
    endif()
    target_include_directories(${_target} PRIVATE ${MCSTAT_FUZZ_DIR} ${_frontend_dir})
    target_link_libraries(${_target} PRIVATE mcstat::mcstat mcstat_options)
    if(_name STREQUAL "csv_reader")
      find_package(ZLIB REQUIRED)
      find_package(FastFloat REQUIRED)
      target_link_libraries(${_target} PRIVATE ZLIB::ZLIB FastFloat::fast_float)
    endif()
  endforeach()
endfunction()

# Compact Binary codec of the viewer protocol: the writer, the tolerant reader, the named writers
# and readers of the structs, colour values and the extension message set.
set(orlex_codec_src ${CMAKE_CURRENT_SOURCE_DIR}/src/OrlexProtocol/codec)
set(orlex_codec_generated ${CMAKE_CURRENT_BINARY_DIR}/codec-generated)
set(orlex_codec_header ${orlex_codec_generated}/OrlexProtocol/codec/Serializers.h)
set(orlex_codec_struct_io ${orlex_codec_generated}/OrlexProtocol/codec/StructIO.h)
set(orlex_codec_tables ${orlex_codec_generated}/CodecTables.cpp)

add_custom_command(
  OUTPUT ${orlex_codec_header} ${orlex_codec_struct_io} ${orlex_codec_tables}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/schema/generate_codec.py ${orlex_schema} ${orlex_codec_generated}
  DEPENDS ${orlex_schema} ${CMAKE_CURRENT_SOURCE_DIR}/schema/generate_codec.py ${orlex_generator}
  COMMENT "Generating the named Compact Binary writers and readers from orlex.schema"
  VERBATIM)

set(orlex_codec_sources
  ${orlex_codec_src}/ReaderInputBuffer.cpp
  ${orlex_codec_src}/BufferedReader.cpp
  ${orlex_codec_src}/CompactBinaryReader.cpp
  ${orlex_codec_src}/StructCodec.cpp
  ${orlex_codec_src}/Color.cpp
  ${orlex_codec_src}/QuennetExtension.cpp
  ${orlex_codec_tables})

target_sources(OrlexProtocol PRIVATE ${orlex_codec_sources} ${orlex_codec_header} ${orlex_codec_struct_io})
target_include_directories(OrlexProtocol PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src ${orlex_codec_generated})

set(orlex_codec_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/PrimitivesTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/WriterGoldenTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/ReaderGoldenTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/RoundTripTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/BufferedInputTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/ColorAndExtensionTest.cpp)
corv_add_test(orlex_codec_test SOURCES ${orlex_codec_tests} LIBS OrlexProtocol)

# The reader under libFuzzer, seeded from the golden vectors it writes itself.
set(orlex_fuzz_seconds 20 CACHE STRING "Length of the reader fuzz run in ctest, in seconds")
corv_add_fuzzer(orlex_codec_fuzz
  SOURCES tests/codec/ReaderFuzzer.cpp ${orlex_codec_sources} src/SchemaDef.cpp src/Message.cpp
          src/MessageSerialize.cpp ${orlex_generated}/StructTables.cpp
          ${CMAKE_SOURCE_DIR}/Platform/Bond/src/exception.cpp
  INCLUDES include src ${orlex_generated} ${orlex_codec_generated} ${CMAKE_SOURCE_DIR}/Platform/Bond/include
  DEPENDS ${orlex_codec_header} ${orlex_codec_struct_io} ${orlex_generated}/OrlexProtocol/Structs.h
          tests/codec/MemoryReader.h
  SECONDS ${orlex_fuzz_seconds}
  MALLOC_MB 16)

# Encoding and decoding speed against protobuf on the same content (not part of the tests).
if(CORV_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
  find_package(Protobuf REQUIRED)
  protobuf_generate_cpp(orlex_bench_proto_src orlex_bench_proto_hdr
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/bench_messages.proto)
  add_executable(orlex_codec_benchmark
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/codec/CodecBenchmark.cpp ${orlex_bench_proto_src} ${orlex_bench_proto_hdr})
  target_include_directories(orlex_codec_benchmark PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(orlex_codec_benchmark PRIVATE OrlexProtocol benchmark::benchmark protobuf::libprotobuf)
  corv_warnings(orlex_codec_benchmark)
endif()

# Turns a binary file into a C++ source defining a constant array of its 32-bit
# little-endian words, so the data is part of the program and nothing is read
# from disk at run time. Plain integer literals only: any C++ compiler takes it.
#
#   cmake -DIN=file.bin -DOUT=file.cpp -DNAME=kWords
#         [-DNAMESPACE=ns::inner] [-DHEADER=path/to/decl.h] -P embed_binary.cmake
#
# NAME is the array's name; the array is `extern const std::uint32_t NAME[N]`
# with N = file size / 4 (the size must be a multiple of 4). HEADER, when
# given, is included first so the compiler checks the definition against the
# declaration there.

cmake_minimum_required(VERSION 3.16)

foreach(var IN ITEMS IN OUT NAME)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "embed_binary.cmake: -D${var}=... is required")
  endif()
endforeach()
if(NOT EXISTS "${IN}")
  message(FATAL_ERROR "embed_binary.cmake: ${IN} does not exist")
endif()

file(SIZE "${IN}" size)
if(size EQUAL 0)
  message(FATAL_ERROR "embed_binary.cmake: ${IN} is empty")
endif()
math(EXPR remainder "${size} % 4")
if(NOT remainder EQUAL 0)
  message(FATAL_ERROR "embed_binary.cmake: ${IN} is ${size} bytes, not a whole number of 32-bit words")
endif()
math(EXPR word_count "${size} / 4")

file(READ "${IN}" hex HEX)
# Little-endian bytes b0 b1 b2 b3 make the word 0xb3b2b1b0; eight words a line.
# Whole-string regex passes: per-word string commands would copy the 1.4 MB
# string every time and take minutes.
set(b "([0-9a-f][0-9a-f])")
string(REGEX REPLACE "${b}${b}${b}${b}" "0x\\4\\3\\2\\1u," hex "${hex}")
string(REGEX REPLACE "((0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,)(0x[0-9a-f]+u,))"
       "\\1\n" hex "${hex}")

get_filename_component(in_name "${IN}" NAME)
set(head "// Generated from ${in_name} by embed_binary.cmake. Do not edit.\n")
if(DEFINED HEADER AND NOT "${HEADER}" STREQUAL "")
  string(APPEND head "#include \"${HEADER}\"\n")
endif()
string(APPEND head "#include <cstdint>\n\n")
set(open_ns "")
set(close_ns "")
if(DEFINED NAMESPACE AND NOT "${NAMESPACE}" STREQUAL "")
  set(open_ns "namespace ${NAMESPACE} {\n\n")
  set(close_ns "\n}  // namespace ${NAMESPACE}\n")
endif()

# Write to a temporary name first so an interrupted run never leaves a
# truncated source that looks up to date.
file(WRITE "${OUT}.tmp"
  "${head}${open_ns}extern const std::uint32_t ${NAME}[${word_count}];\n"
  "const std::uint32_t ${NAME}[${word_count}] = {\n${hex}\n};\n${close_ns}")
file(RENAME "${OUT}.tmp" "${OUT}")

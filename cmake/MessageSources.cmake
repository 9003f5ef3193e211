# Writes OUTPUT, the source text of every message of the Qt Linguist file TS as C++ initializers
# {"id", u"text"}, in the file's order: the Chinese texts that the code shows when no translation
# is installed are read from the same file the translators work in, never written twice.
#   cmake -DTS=file.ts -DOUTPUT=file.inc -P MessageSources.cmake
file(READ "${TS}" ts)
# CMake lists split at ';': keep the file's own semicolons out of the way while matching.
string(ASCII 1 semicolon)
string(REPLACE ";" "${semicolon}" ts "${ts}")
string(REGEX MATCHALL "<message id=\"[^\"]+\">[^<]*<source>[^<]*</source>" messages "${ts}")

get_filename_component(name "${TS}" NAME)
set(out "// Made from ${name} by cmake/MessageSources.cmake: edit the .ts file, not this one.\n")
foreach(message IN LISTS messages)
  string(REGEX REPLACE "^<message id=\"([^\"]+)\">.*$" "\\1" id "${message}")
  string(REGEX REPLACE "^.*<source>([^<]*)</source>$" "\\1" text "${message}")
  string(REPLACE "${semicolon}" ";" text "${text}")
  string(REPLACE "&lt;" "<" text "${text}")
  string(REPLACE "&gt;" ">" text "${text}")
  string(REPLACE "&quot;" "\"" text "${text}")
  string(REPLACE "&apos;" "'" text "${text}")
  if(text MATCHES "&[^a]" OR text MATCHES "&a[^m]")
    message(FATAL_ERROR "${TS}: message ${id}: an XML entity this script does not know")
  endif()
  string(REPLACE "&amp;" "&" text "${text}")
  # As a C++ string literal.
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(APPEND out "{\"${id}\", u\"${text}\"},\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${out}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")

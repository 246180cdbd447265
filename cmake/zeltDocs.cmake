# `cmake --build build --target docs` writes the HTML reference to
# build/docs/html when Doxygen is installed. Only in a top-level build, so a
# parent project's own docs target keeps its name.
if(NOT ZELT_TOP_LEVEL)
  return()
endif()
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "zelt: Doxygen not found, no docs target")
  return()
endif()
list(TRANSFORM ZELT_PUBLIC_HEADERS PREPEND "${PROJECT_SOURCE_DIR}/" OUTPUT_VARIABLE zelt_doxygen_headers)
string(JOIN " " ZELT_DOXYGEN_HEADERS ${zelt_doxygen_headers})
configure_file("${PROJECT_SOURCE_DIR}/Doxyfile.in" "${PROJECT_BINARY_DIR}/Doxyfile" @ONLY)
add_custom_target(docs
  COMMAND Doxygen::doxygen "${PROJECT_BINARY_DIR}/Doxyfile"
  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
  COMMENT "zelt: HTML reference in ${PROJECT_BINARY_DIR}/docs/html"
  VERBATIM)

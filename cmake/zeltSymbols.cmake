# libzelt.so exports namespace ZELT and nothing else.
#
# Hidden visibility is not enough on its own: libstdc++ declares namespace std
# with default visibility, so every std:: template the library instantiates
# (std::to_chars helpers and their static tables, std::make_unique, ...) would
# be exported too, and a consumer could bind to our copies. The version script
# keeps them local.
if(UNIX AND NOT APPLE)
  set(zelt_symbol_map "${CMAKE_CURRENT_LIST_DIR}/zelt.map")
  target_link_options(zelt PRIVATE "LINKER:--version-script=${zelt_symbol_map}")
  # Calls from one source of the library to another bind inside it too, with
  # no PLT hop (-fno-semantic-interposition does the same within a source).
  target_link_options(zelt PRIVATE "LINKER:-Bsymbolic-functions")
  set_property(TARGET zelt APPEND PROPERTY LINK_DEPENDS "${zelt_symbol_map}")
endif()

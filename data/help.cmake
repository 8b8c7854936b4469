# Help pages: one HTML page per help topic of the wizards (help/<topic>.html)
# plus the contents page and the pages the link labels open, installed into
# <prefix>/help/.
file(GLOB KIV_HELP_PAGES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/help/*.html)
install(FILES ${KIV_HELP_PAGES} DESTINATION ${KIV_PROGRAM_DIR}/help)

# Help pages: one HTML page per help topic of the wizards (help/<topic>.html)
# plus the contents pages, the pages the link labels open and the style sheet
# pages link, installed into <prefix>/help/.
file(GLOB KIV_HELP_PAGES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/help/*.html
     ${CMAKE_CURRENT_SOURCE_DIR}/help/*.css)
install(FILES ${KIV_HELP_PAGES} DESTINATION ${KIV_PROGRAM_DIR}/help)

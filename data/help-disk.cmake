# The disk builder's help topics: one page per wizard page (1310 + 10 x page)
# and the DOS system-file import (1420), installed into help/.
file(GLOB kiv_disk_help_pages ${CMAKE_CURRENT_SOURCE_DIR}/help/13[1-8]0.html ${CMAKE_CURRENT_SOURCE_DIR}/help/1420.html)
install(FILES ${kiv_disk_help_pages} DESTINATION help)

# The Linux rescue system's recipe: the package list users may edit, and the
# hook mmdebstrap runs to finish the tree and squash it. The system itself is
# built into the program folder's rescue/ by the first CD build that needs it.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/files/rescue/packages.txt DESTINATION files/rescue)
install(PROGRAMS ${CMAKE_CURRENT_SOURCE_DIR}/files/rescue/customize.sh DESTINATION files/rescue)

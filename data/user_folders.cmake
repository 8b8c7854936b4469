# The two folders the CD builder's utilities page offers by default,
# <program folder>/kiv_utilities and <program folder>/Additional Files. They
# ship empty but for a short note on what to put in them, so the page accepts
# its own defaults on a first run.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/user_folders/ DESTINATION ${KIV_PROGRAM_DIR})

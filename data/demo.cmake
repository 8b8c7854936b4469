# Demo material for the main job: a utilities folder and an additional-files
# folder that the demo settings point the CD builder at.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/demo/ DESTINATION ${KIV_PROGRAM_DIR}/demo)

# Plugins, installed under plugins/. The kivmax plugin is the folder
# plugins/kivmax/ (copied onto the disk) and its template plugins/kivmax.net;
# its preparation program plugins/kivmax.exe is installed by preparer/.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/plugins/ DESTINATION plugins
        PATTERN ".gitattributes" EXCLUDE)

# The ISO mastering tool of the program folder: Debian's genisoimage, laid in
# as `mkisofs` (the name the makecd script calls) by a symbolic link made at
# install time. It accepts the mastering switches the CD builder passes.
find_program(KIV_GENISOIMAGE genisoimage)
if(NOT KIV_GENISOIMAGE)
  message(WARNING "genisoimage not found: the program folder gets no mkisofs (install package genisoimage)")
  return()
endif()
install(CODE "
  set(_dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/mkisofs\")
  file(REMOVE \"\${_dest}\")
  file(CREATE_LINK \"${KIV_GENISOIMAGE}\" \"\${_dest}\" RESULT _res SYMBOLIC)
  if(NOT _res EQUAL 0)
    file(COPY_FILE \"${KIV_GENISOIMAGE}\" \"\${_dest}\")
  endif()
  message(STATUS \"Linked: \${_dest} -> ${KIV_GENISOIMAGE}\")
")

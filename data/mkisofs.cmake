# The ISO mastering tool of the program folder: Debian's xorriso, laid in as
# `mkisofs` (the name the makecd script calls) by a symbolic link made at
# install time. Started under that name xorriso takes mkisofs's switches (its
# mkisofs emulation), adds the UEFI El Torito entry and the stick's MBR and GPT
# for it, and honours SOURCE_DATE_EPOCH. Without xorriso, genisoimage masters
# the plain BIOS CD (it knows neither the UEFI switches nor SOURCE_DATE_EPOCH).
find_program(KIV_XORRISO xorriso)
find_program(KIV_GENISOIMAGE genisoimage)
if(KIV_XORRISO)
  set(_kiv_mkisofs "${KIV_XORRISO}")
elseif(KIV_GENISOIMAGE)
  message(WARNING "xorriso not found: the program folder's mkisofs is genisoimage, which cannot master a "
                  "UEFI boot image nor a reproducible ISO (install package xorriso)")
  set(_kiv_mkisofs "${KIV_GENISOIMAGE}")
else()
  message(WARNING "xorriso not found: the program folder gets no mkisofs (install package xorriso)")
  return()
endif()
install(CODE "
  set(_dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/mkisofs\")
  file(REMOVE \"\${_dest}\")
  file(CREATE_LINK \"${_kiv_mkisofs}\" \"\${_dest}\" RESULT _res SYMBOLIC)
  if(NOT _res EQUAL 0)
    file(COPY_FILE \"${_kiv_mkisofs}\" \"\${_dest}\")
  endif()
  message(STATUS \"Linked: \${_dest} -> ${_kiv_mkisofs}\")
")

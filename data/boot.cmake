# Boot code, assembled from our own sources with nasm at build time, and the CD
# template it belongs to:
#   files/kivcd/boot/loader.bin   El Torito no-emulation loader of the CD
#   files/bootsect.bin            FAT12 boot sector of the boot floppies
#   files/bootsect/*.bin          boot sectors of the setup-based CD entries
#   files/kivcd/                  the CD template (boot menu script, readme)
# The build-tree folder holding the .bin files is published as the global
# property KIV_BOOT_BIN_DIR (same layout as below the program folder's files/).
find_program(NASM_EXECUTABLE nasm REQUIRED)

set(KIV_BOOT_SRC_DIR ${CMAKE_CURRENT_SOURCE_DIR}/boot)
set(KIV_BOOT_BIN_DIR ${CMAKE_CURRENT_BINARY_DIR}/boot_bin)
set_property(GLOBAL PROPERTY KIV_BOOT_BIN_DIR ${KIV_BOOT_BIN_DIR})

function(kiv_assemble_boot output source)
  get_filename_component(out_dir ${KIV_BOOT_BIN_DIR}/${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${KIV_BOOT_BIN_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${NASM_EXECUTABLE} -f bin -I${KIV_BOOT_SRC_DIR}/ ${ARGN}
            -o ${KIV_BOOT_BIN_DIR}/${output} ${KIV_BOOT_SRC_DIR}/${source}
    DEPENDS ${KIV_BOOT_SRC_DIR}/${source} ${KIV_BOOT_SRC_DIR}/console.inc
    COMMENT "Assembling ${output}"
    VERBATIM)
endfunction()

kiv_assemble_boot(kivcd/boot/loader.bin loader.asm)
kiv_assemble_boot(bootsect.bin bootsect.asm)
kiv_assemble_boot(bootsect/w2ksect.bin cdsect.asm -DKIND_W2K)
kiv_assemble_boot(bootsect/erdc.bin cdsect.asm -DKIND_ERDC)
kiv_assemble_boot(bootsect/oobc.bin cdsect.asm -DKIND_OOBC)

add_custom_target(boot_code ALL DEPENDS
  ${KIV_BOOT_BIN_DIR}/kivcd/boot/loader.bin
  ${KIV_BOOT_BIN_DIR}/bootsect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/w2ksect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/erdc.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/oobc.bin)

# The CD template: fixed files from the repository, the generated loader, and
# the (empty) image folder the builder fills.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/files/kivcd/ DESTINATION files/kivcd
        PATTERN ".gitattributes" EXCLUDE)
install(FILES ${KIV_BOOT_BIN_DIR}/kivcd/boot/loader.bin DESTINATION files/kivcd/boot)
file(MAKE_DIRECTORY ${KIV_BOOT_BIN_DIR}/empty/images)
install(DIRECTORY ${KIV_BOOT_BIN_DIR}/empty/images DESTINATION files/kivcd/boot)
install(FILES ${KIV_BOOT_BIN_DIR}/bootsect.bin DESTINATION files)
install(FILES
  ${KIV_BOOT_BIN_DIR}/bootsect/w2ksect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/erdc.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/oobc.bin
  DESTINATION files/bootsect)

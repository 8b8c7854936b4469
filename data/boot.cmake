# Boot code, assembled from our own sources with nasm at build time, and the CD
# template it belongs to:
#   files/kivcd/boot/loader.bin   El Torito no-emulation loader of the CD
#   files/kivcd/boot/isolinux/    the CD's boot manager: Debian's isolinux,
#                                 menu and chain modules, memdisk and the
#                                 Hardware Detection Tool (hdt.c32), copied
#                                 from the build machine, with their licence;
#                                 and our harddisk.bin, the menu's start of
#                                 the first hard disk
#   files/kivcd/boot/tools/       free tools every CD carries: Debian's
#                                 memtest86+ (BIOS .bin, UEFI .efi) and the
#                                 PCI ID list HDT names devices from
#   files/bootsect.bin            FAT12 boot sector of the boot floppies
#   files/bootsect/*.bin          boot sectors of the setup-based CD entries
#   files/kivcd/                  the CD template (boot menu script, readme)
# The build-tree folder holding the .bin files is published as the global
# property KIV_BOOT_BIN_DIR (same layout as below the program folder's files/),
# the loader's gate_layout.inc as KIV_GATE_LAYOUT_INC.
find_program(NASM_EXECUTABLE nasm REQUIRED)

set(KIV_BOOT_SRC_DIR ${CMAKE_CURRENT_SOURCE_DIR}/boot)
set(KIV_BOOT_BIN_DIR ${CMAKE_CURRENT_BINARY_DIR}/boot_bin)
set_property(GLOBAL PROPERTY KIV_BOOT_BIN_DIR ${KIV_BOOT_BIN_DIR})

file(GLOB KIV_BOOT_INCLUDES CONFIGURE_DEPENDS ${KIV_BOOT_SRC_DIR}/*.inc)

# The password gate block's layout for the loader: gate_layout.inc, written
# from the table the CD builder writes the block by
# (cdtool/bootmenu/gate_layout.h), so the two share one description.
set(KIV_BOOT_GEN_DIR ${CMAKE_CURRENT_BINARY_DIR}/boot_inc)
add_executable(gate_layout_inc ${PROJECT_SOURCE_DIR}/cmake/gate_layout_inc.cpp)
target_include_directories(gate_layout_inc PRIVATE ${PROJECT_SOURCE_DIR})
add_custom_command(
  OUTPUT ${KIV_BOOT_GEN_DIR}/gate_layout.inc
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KIV_BOOT_GEN_DIR}
  COMMAND gate_layout_inc ${KIV_BOOT_GEN_DIR}/gate_layout.inc
  DEPENDS gate_layout_inc
  COMMENT "Writing gate_layout.inc"
  VERBATIM)
list(APPEND KIV_BOOT_INCLUDES ${KIV_BOOT_GEN_DIR}/gate_layout.inc)
set_property(GLOBAL PROPERTY KIV_GATE_LAYOUT_INC ${KIV_BOOT_GEN_DIR}/gate_layout.inc)

function(kiv_assemble_boot output source)
  get_filename_component(out_dir ${KIV_BOOT_BIN_DIR}/${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${KIV_BOOT_BIN_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${NASM_EXECUTABLE} -f bin -I${KIV_BOOT_SRC_DIR}/ -I${KIV_BOOT_GEN_DIR}/ ${ARGN}
            -o ${KIV_BOOT_BIN_DIR}/${output} ${KIV_BOOT_SRC_DIR}/${source}
    DEPENDS ${KIV_BOOT_SRC_DIR}/${source} ${KIV_BOOT_INCLUDES}
    COMMENT "Assembling ${output}"
    VERBATIM)
endfunction()

kiv_assemble_boot(kivcd/boot/loader.bin loader.asm)
kiv_assemble_boot(kivcd/boot/isolinux/harddisk.bin hdboot.asm)
kiv_assemble_boot(bootsect.bin bootsect.asm)
kiv_assemble_boot(bootsect/w2ksect.bin cdsect.asm -DKIND_W2K)
kiv_assemble_boot(bootsect/erdc.bin cdsect.asm -DKIND_ERDC)
kiv_assemble_boot(bootsect/oobc.bin cdsect.asm -DKIND_OOBC)

# The boot manager is not ours: Debian's SYSLINUX packages provide it (GPL-2).
# The files are copied, unchanged, into the CD template's boot/isolinux/,
# next to the licence text and a note naming their packages and source. The
# free tools (memtest86+, the PCI ID list) go to boot/tools/ the same way.
set(KIV_ISOLINUX_DIR ${KIV_BOOT_BIN_DIR}/kivcd/boot/isolinux)
set(KIV_TOOLS_DIR ${KIV_BOOT_BIN_DIR}/kivcd/boot/tools)
set(kiv_isolinux_files)
set(kiv_tools_files)
# Finds `name` in the folders given after `package` (configure time) and
# copies it to boot/`folder`/`dest` (build time); `folder` is isolinux or tools.
function(kiv_boot_folder_file folder var name dest package)
  find_file(${var} ${name} PATHS ${ARGN} NO_DEFAULT_PATH)
  if(NOT ${var})
    list(JOIN ARGN ", " folders)
    message(FATAL_ERROR "${name} not found in ${folders}: install the Debian package "
                        "'${package}' (scripts/setup.sh installs it)")
  endif()
  set(out ${KIV_BOOT_BIN_DIR}/kivcd/boot/${folder}/${dest})
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${${var}} ${out}
    DEPENDS ${${var}}
    COMMENT "Copying boot/${folder}/${dest} from package ${package}"
    VERBATIM)
  set(kiv_${folder}_files ${kiv_${folder}_files} ${out} PARENT_SCOPE)
endfunction()
macro(kiv_boot_manager_file)
  kiv_boot_folder_file(isolinux ${ARGN})
endmacro()
macro(kiv_tools_file)
  kiv_boot_folder_file(tools ${ARGN})
endmacro()

kiv_boot_manager_file(KIV_ISOLINUX_BIN isolinux.bin isolinux.bin isolinux /usr/lib/ISOLINUX)
# hdt.c32 loads libmenu.c32 and libgpl.c32 besides libutil and libcom32
# (its ELF NEEDED entries); isolinux finds them in its own folder.
foreach(module ldlinux menu libutil libcom32 chain libmenu libgpl hdt)
  string(TOUPPER ${module} upper)
  kiv_boot_manager_file(KIV_SYSLINUX_${upper}_C32 ${module}.c32 ${module}.c32 syslinux-common
                        /usr/lib/syslinux/modules/bios)
endforeach()
kiv_boot_manager_file(KIV_SYSLINUX_MEMDISK memdisk memdisk syslinux-common /usr/lib/syslinux)
kiv_boot_manager_file(KIV_GPL2_TEXT GPL-2 COPYING base-files /usr/share/common-licenses)

# memtest86+: the 32-bit BIOS image (isolinux starts it by the Linux boot
# protocol) and both UEFI images, for the CD's UEFI menu.
foreach(image memtest86+ia32.bin memtest86+x64.efi memtest86+ia32.efi)
  string(MAKE_C_IDENTIFIER ${image} id)
  string(TOUPPER ${id} id)
  kiv_tools_file(KIV_${id} ${image} ${image} memtest86+ /boot)
endforeach()
kiv_tools_file(KIV_PCI_IDS pci.ids pci.ids pci.ids /usr/share/misc)
kiv_tools_file(KIV_TOOLS_GPL2_TEXT GPL-2 COPYING base-files /usr/share/common-licenses)

# The MBR that makes the finished ISO bootable from a USB stick (installed
# beside the CD template, not on the CD).
find_file(KIV_ISOHYBRID_MBR isohdpfx.bin PATHS /usr/lib/ISOLINUX NO_DEFAULT_PATH)
if(NOT KIV_ISOHYBRID_MBR)
  message(FATAL_ERROR "isohdpfx.bin not found in /usr/lib/ISOLINUX: install the Debian package "
                      "'isolinux' (scripts/setup.sh installs it)")
endif()
configure_file(${KIV_ISOHYBRID_MBR} ${KIV_BOOT_BIN_DIR}/isohdpfx.bin COPYONLY)
install(FILES ${KIV_BOOT_BIN_DIR}/isohdpfx.bin DESTINATION files)

# Package versions for the note, when dpkg can tell them.
find_program(KIV_DPKG_QUERY dpkg-query)
foreach(package isolinux syslinux-common memtest86+ pci.ids)
  string(MAKE_C_IDENTIFIER ${package} id)
  string(TOUPPER ${id} id)
  set(KIV_${id}_VERSION "")
  if(KIV_DPKG_QUERY)
    execute_process(COMMAND ${KIV_DPKG_QUERY} -W -f=\${Version} ${package}
                    OUTPUT_VARIABLE version ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0 AND version)
      set(KIV_${id}_VERSION " ${version}")
    endif()
  endif()
endforeach()
configure_file(${KIV_BOOT_SRC_DIR}/isolinux_readme.txt.in ${KIV_ISOLINUX_DIR}/README.txt
               NEWLINE_STYLE CRLF @ONLY)
list(APPEND kiv_isolinux_files ${KIV_ISOLINUX_DIR}/README.txt)
configure_file(${KIV_BOOT_SRC_DIR}/tools_readme.txt.in ${KIV_TOOLS_DIR}/README.txt
               NEWLINE_STYLE CRLF @ONLY)
list(APPEND kiv_tools_files ${KIV_TOOLS_DIR}/README.txt)

add_custom_target(boot_code ALL DEPENDS
  ${kiv_isolinux_files}
  ${kiv_tools_files}
  ${KIV_BOOT_BIN_DIR}/kivcd/boot/loader.bin
  ${KIV_BOOT_BIN_DIR}/kivcd/boot/isolinux/harddisk.bin
  ${KIV_BOOT_BIN_DIR}/bootsect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/w2ksect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/erdc.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/oobc.bin)
# The CD builder's tests read the assembled loader (KIV_BOOT_BIN_DIR there).
if(TARGET cdtool_tests)
  add_dependencies(cdtool_tests boot_code)
endif()

# The CD template: fixed files from the repository, the generated loader, and
# the (empty) image folder the builder fills.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/files/kivcd/ DESTINATION files/kivcd
        PATTERN ".gitattributes" EXCLUDE)
install(FILES ${KIV_BOOT_BIN_DIR}/kivcd/boot/loader.bin DESTINATION files/kivcd/boot)
install(FILES ${kiv_isolinux_files} ${KIV_BOOT_BIN_DIR}/kivcd/boot/isolinux/harddisk.bin
        DESTINATION files/kivcd/boot/isolinux)
install(FILES ${kiv_tools_files} DESTINATION files/kivcd/boot/tools)
file(MAKE_DIRECTORY ${KIV_BOOT_BIN_DIR}/empty/images)
install(DIRECTORY ${KIV_BOOT_BIN_DIR}/empty/images DESTINATION files/kivcd/boot)
install(FILES ${KIV_BOOT_BIN_DIR}/bootsect.bin DESTINATION files)
install(FILES
  ${KIV_BOOT_BIN_DIR}/bootsect/w2ksect.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/erdc.bin
  ${KIV_BOOT_BIN_DIR}/bootsect/oobc.bin
  DESTINATION files/bootsect)

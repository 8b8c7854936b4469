# The disk builder's data: the catalogue and disk definitions, the module and
# setup folders, the answer-file templates, the driver cabinets (packed at
# build time from driver_src/<kind>/<name>/ with our own cabarc) and the
# stand-ins for the DOS system files that cannot be shipped.
#   files/disklist.ini, files/<disk>.ini
#   files/base_files, dos_files, inf_files, setupwin, setupnt, <module>/
#   drivers/<kind>/<name>.cab
#   dos/<25 DOS system files>        (marked stand-ins; IO.SYS a program)
#   files/kernel/KIVRAMD.COM         (assembled from floppy_src/kivramd.asm)
#   files/dosimport/NOTINDOS.EXE     (assembled from floppy_src/notindos.asm)
# The build-tree folder that holds drivers/ and dos/ is published as the
# global property KIV_DISK_DATA_DIR (same layout as in the program folder).

set(KIV_DISK_SRC_DIR ${CMAKE_CURRENT_SOURCE_DIR}/files)
set(KIV_DISK_DATA_DIR ${CMAKE_CURRENT_BINARY_DIR}/disk_data)
set_property(GLOBAL PROPERTY KIV_DISK_DATA_DIR ${KIV_DISK_DATA_DIR})
set_property(GLOBAL PROPERTY KIV_DISK_SRC_DIR ${KIV_DISK_SRC_DIR})

# --- driver cabinets -------------------------------------------------------
set(kiv_driver_cabs)
file(GLOB kiv_driver_kinds LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/driver_src/*)
foreach(kind_dir ${kiv_driver_kinds})
  if(NOT IS_DIRECTORY ${kind_dir})
    continue()
  endif()
  get_filename_component(kind ${kind_dir} NAME)
  file(GLOB kiv_drivers LIST_DIRECTORIES true ${kind_dir}/*)
  foreach(driver_dir ${kiv_drivers})
    if(NOT IS_DIRECTORY ${driver_dir})
      continue()
    endif()
    get_filename_component(driver ${driver_dir} NAME)
    file(GLOB driver_files ${driver_dir}/*)
    set(cab ${KIV_DISK_DATA_DIR}/drivers/${kind}/${driver}.cab)
    if(TARGET cabarc)
      # Our own archiver, run as bootsmith runs it: from the source folder.
      # The driver folders are a few KiB each, so the strongest LZX level
      # costs next to nothing here.
      set(pack_command $<TARGET_FILE:cabarc> --level=4 -m LZX:21 -p -r n ${cab} *.*)
      set(pack_depends cabarc)
    else()
      find_program(GCAB_EXECUTABLE gcab REQUIRED)
      file(GLOB driver_names RELATIVE ${driver_dir} ${driver_dir}/*)
      set(pack_command ${GCAB_EXECUTABLE} -c -z ${cab} ${driver_names})
      set(pack_depends)
    endif()
    add_custom_command(
      OUTPUT ${cab}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KIV_DISK_DATA_DIR}/drivers/${kind}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${cab}
      COMMAND ${pack_command}
      WORKING_DIRECTORY ${driver_dir}
      DEPENDS ${driver_files} ${pack_depends}
      COMMENT "Packing driver ${kind}/${driver}.cab"
      VERBATIM)
    list(APPEND kiv_driver_cabs ${cab})
  endforeach()
endforeach()

# --- DOS system file stand-ins -------------------------------------------
# IO.SYS is a small real-mode program of ours (data/boot/iosys.asm) that the
# floppy boot sector starts like MS-DOS 7 IO.SYS: it checks the hand-over and
# tells how to import the real files. It carries the stand-in marker text
# near its start, as the other 24 (plain text files) do.
set(kiv_dos_names COMMAND.COM ATTRIB.EXE CHOICE.COM DELTREE.EXE DISKCOPY.COM EDIT.COM
    EMM386.EXE EXTRACT.EXE FC.EXE FDISK.EXE FORMAT.COM HIMEM.SYS LABEL.EXE MEM.EXE MODE.COM
    MORE.COM MOVE.EXE SCANDISK.EXE SMARTDRV.EXE SORT.EXE SYS.COM XCOPY.EXE XCOPY32.EXE XCOPY32.MOD)
foreach(name ${kiv_dos_names})
  file(CONFIGURE OUTPUT ${KIV_DISK_DATA_DIR}/dos/${name} CONTENT
"KIV STAND-IN FILE - NOT THE REAL ${name}\r
\r
This file stands in for the MS-DOS 7.1 system file ${name} of Windows 98,\r
which cannot be shipped with the toolkit. It lets the disk builder run end to\r
end; a floppy built with it starts the stand-in IO.SYS, which checks the boot\r
and says so, but not DOS. Import the real files from a Windows 98/98 SE setup\r
CD: delete the dos folder of the program folder and start bootsmith.\r
" @ONLY NEWLINE_STYLE UNIX)
endforeach()
find_program(NASM_EXECUTABLE nasm REQUIRED)
set(kiv_stand_in_io ${KIV_DISK_DATA_DIR}/dos/IO.SYS)
add_custom_command(
  OUTPUT ${kiv_stand_in_io}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KIV_DISK_DATA_DIR}/dos
  COMMAND ${NASM_EXECUTABLE} -f bin -I${CMAKE_CURRENT_SOURCE_DIR}/boot/
          -o ${kiv_stand_in_io} ${CMAKE_CURRENT_SOURCE_DIR}/boot/iosys.asm
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/boot/iosys.asm ${CMAKE_CURRENT_SOURCE_DIR}/boot/console.inc
          ${CMAKE_CURRENT_SOURCE_DIR}/boot/hex.inc ${CMAKE_CURRENT_SOURCE_DIR}/boot/fat_layout.inc
  COMMENT "Assembling the stand-in IO.SYS"
  VERBATIM)

# --- programs of the floppies ---------------------------------------------
# Small DOS programs of ours, assembled into files/<folder>/ of the data
# folder (installed beside the shipped files): the RAM drive finder that goes
# onto the floppies (kernel/KIVRAMD.COM), and the stand-in the DOS import
# writes for a DOS file the imported DOS (FreeDOS) has no equivalent of, a
# program and a device driver at once (dosimport/NOTINDOS.EXE).
set(kiv_floppy_programs)
foreach(program kernel/KIVRAMD.COM:kivramd dosimport/NOTINDOS.EXE:notindos)
  string(REPLACE ":" ";" parts ${program})
  list(GET parts 0 target)
  list(GET parts 1 source)
  get_filename_component(folder ${KIV_DISK_DATA_DIR}/files/${target} DIRECTORY)
  add_custom_command(
    OUTPUT ${KIV_DISK_DATA_DIR}/files/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${NASM_EXECUTABLE} -f bin -o ${KIV_DISK_DATA_DIR}/files/${target}
            ${CMAKE_CURRENT_SOURCE_DIR}/floppy_src/${source}.asm
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/floppy_src/${source}.asm
    COMMENT "Assembling ${target}"
    VERBATIM)
  list(APPEND kiv_floppy_programs ${KIV_DISK_DATA_DIR}/files/${target})
endforeach()

add_custom_target(disk_data ALL DEPENDS ${kiv_driver_cabs} ${kiv_stand_in_io} ${kiv_floppy_programs})
if(TARGET disktool_tests)
  add_dependencies(disktool_tests disk_data)
  if(TARGET boot_code)
    add_dependencies(disktool_tests boot_code)
  endif()
endif()

# --- install ---------------------------------------------------------------
file(GLOB kiv_disk_inis ${KIV_DISK_SRC_DIR}/*.ini)
install(FILES ${kiv_disk_inis} DESTINATION files)
foreach(folder base_files dos_files inf_files setupwin setupnt kernel cdrom aspi msnet emm lorva)
  install(DIRECTORY ${KIV_DISK_SRC_DIR}/${folder} DESTINATION files)
endforeach()
install(DIRECTORY ${KIV_DISK_DATA_DIR}/drivers/ DESTINATION drivers)
install(DIRECTORY ${KIV_DISK_DATA_DIR}/dos/ DESTINATION dos)
install(DIRECTORY ${KIV_DISK_DATA_DIR}/files/ DESTINATION files)

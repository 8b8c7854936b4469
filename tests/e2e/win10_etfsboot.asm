; A stand-in for Windows' etfsboot.com (the no-emulation boot program of a
; Windows 10/11 setup medium), for the tests of the CD's Windows 10/11 Setup
; entry: 4 KiB like Windows' own, its message in its last sector, so the line
; on COM1 also says that the menu loaded the whole file at 0:7C00.
        bits 16
        org 0x7C00

        cli
        jmp 0x0000:start
        times 4096 - 512 - ($ - $$) db 0
start:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        sti
        cld
        mov si, message
        call print
        jmp halt

%include "serial_print.inc"

message: db 13, 10, "Stand-in etfsboot.com: loaded whole and started by the CD's menu", 13, 10, 0

        times 4096 - ($ - $$) db 0

; El Torito "no emulation" boot image of the Kiv Rescue CD (boot/loader.bin).
; The BIOS loads the 4 virtual sectors named in the boot catalog (2048 bytes)
; to 0x7C00 and jumps there. This loader prints its banner to the screen and
; to COM1 and then waits; it is what lets a test see that the CD boots.
        bits 16
        org 0x7C00

entry:  cli
        jmp 0x0000:start        ; some BIOSes enter at 07C0:0000
start:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        cld
        sti
        mov [boot_drive], dl
        call serial_init
        mov si, banner
        call puts_both
        jmp halt_forever

%include "console.inc"

boot_drive: db 0
banner:
        db 13, 10
        db "Kiv Rescue CD loader", 13, 10
        db "Boot menu script: \boot\scripts\main.cds", 13, 10
        db "Boot images:      \boot\images\", 13, 10
        db "This demo loader does not run the boot menu; the system is halted.", 13, 10
        db 0

        times 2048 - ($ - $$) db 0

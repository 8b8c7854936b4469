; The master boot record of the test hard disk: says it was started, on COM1
; and on the screen, and halts.
        bits 16
        org 0x7C00

        cli
        jmp 0x0000:start
start:  xor ax, ax
        mov ds, ax
        mov ss, ax
        mov sp, 0x7C00
        sti
        cld
        mov si, text
        call print
        jmp halt

%include "serial_print.inc"

text:   db 13, 10, "Test hard disk: MBR started", 13, 10, 0
        times 510 - ($ - $$) db 0
        dw 0xAA55

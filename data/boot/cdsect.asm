; Boot sectors the boot menu chains to for the setup-based environments on
; the CD (files/bootsect/w2ksect.bin, erdc.bin, oobc.bin). Each is a 2048-byte
; "no emulation" image. A real one loads \I386\SETUPLDR.BIN from the CD; the
; CD builder gives each tool its own folder by rewriting the text I386 in it
; (same length, e.g. I386 -> ERDC), which is why the folder name is stored
; exactly once, in upper case, as the file's only "I386". These stand-ins show
; which environment and which setup loader they stand for, then wait.
;
; Assemble with -DKIND_W2K, -DKIND_ERDC or -DKIND_OOBC.
        bits 16
        org 0x7C00

entry:  cli
        jmp 0x0000:start
start:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        cld
        sti
        call serial_init
        mov si, banner
        call puts_both
        jmp halt_forever

%include "console.inc"

banner:
        db 13, 10
%ifdef KIND_W2K
        db "Kiv CD boot sector: Windows 2000/XP setup", 13, 10
%elifdef KIND_ERDC
        db "Kiv CD boot sector: ERD Commander", 13, 10
%elifdef KIND_OOBC
        db "Kiv CD boot sector: BlueCon XXL", 13, 10
%else
%error "define KIND_W2K, KIND_ERDC or KIND_OOBC"
%endif
        db "Setup loader: \"
setup_folder:
        db "I386"
        db "\SETUPLDR.BIN", 13, 10
        db "This stand-in does not load it; the system is halted.", 13, 10
        db 0

        times 2048 - ($ - $$) db 0

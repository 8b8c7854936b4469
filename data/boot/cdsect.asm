; Boot sectors the boot menu chains to for the setup-based environments on
; the CD (files/bootsect/w2ksect.bin, erdc.bin, oobc.bin). Each is a 2048-byte
; "no emulation" image, started at 0000:7C00 with DL = the CD drive, like the
; CD boot sector of Windows setup. It reads the CD through int 13h AH=42h,
; shows the volume name and looks for the setup loader \I386\SETUPLDR.BIN.
; When the loader is there it is loaded to 2000:0000 and started there with
; DL = the CD drive; otherwise the sector says so and waits.
;
; From a USB stick (the hybrid ISO written to a disk) these sectors cannot
; work: setup reads the CD in 2048-byte sectors. The drive's sector size
; (int 13h AH=48h) tells a disk from the CD, and the sector then says that
; the entry needs the CD instead of failing somewhere in setup.
;
; The CD builder gives each tool its own folder by rewriting the text I386 in
; the sector (same length, e.g. I386 -> ERDC), which is why the folder name is
; stored exactly once, in upper case, as the file's only "I386".
;
; Assemble with -DKIND_W2K, -DKIND_ERDC or -DKIND_OOBC.
        bits 16
        cpu 386
        org 0x7C00

%include "iso9660_layout.inc"

SETUP_SEG  equ 0x2000           ; where the setup loader runs
; The setup loader must fit below 0x9F000, where the extended BIOS data area
; may begin.
MAX_SETUP  equ 0x9F000 - SETUP_SEG * 16
; The result buffer of int 13h AH=48h (drive parameters), as far as read.
DRIVE_PARAMS_SIZE        equ 0x1A
DRIVE_PARAMS_SECTOR_SIZE equ 0x18   ; bytes per sector

entry:  cli
        jmp 0x0000:start
start:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        cld
        sti
        mov [iso_drive], dl
        call serial_init
        mov si, banner
        call puts_both

        call check_cd_sectors
        call iso_open
        mov si, msg_no_pvd
        jc fatal
        mov si, msg_volume
        call puts_both
        call put_volume_id

        mov si, msg_loader
        call puts_both
        mov si, setup_path
        call puts_both
        mov si, setup_path
        call iso_find_path
        mov si, msg_not_found
        jc fatal
        test ecx, ecx
        mov si, msg_empty
        jz fatal
        cmp ecx, MAX_SETUP
        mov si, msg_too_large
        ja fatal
        push eax                ; puts_both changes AL
        mov si, msg_found
        call puts_both
        mov eax, ecx
        call put_dec
        mov si, msg_bytes
        call puts_both
        pop eax

        ; Load it, one 2048-byte sector per call, and start it.
        add ecx, ISO_SECTOR - 1
        shr ecx, 11
        mov bx, SETUP_SEG
.load:  call iso_read
        inc eax
        add bx, ISO_SECTOR >> 4
        dec cx
        jnz .load
        mov dl, [iso_drive]
        jmp SETUP_SEG:0x0000

; Halts with a note when the boot drive has sectors other than 2048 bytes;
; returns when it has 2048-byte sectors or does not say. Changes AX, DL, SI
; and ISO_BUF.
check_cd_sectors:
        mov si, ISO_BUF
        mov word [si], DRIVE_PARAMS_SIZE
        mov ah, 0x48
        mov dl, [iso_drive]
        int 0x13
        jc .done
        cmp word [ISO_BUF + DRIVE_PARAMS_SECTOR_SIZE], ISO_SECTOR
        je .done
        mov si, msg_needs_cd
        jmp fatal
.done:  ret

; SI = the rest of the line. Halts.
fatal:  call puts_both
        mov si, msg_halted
        call puts_both
        jmp halt_forever

; The 32-character volume identifier of the primary volume descriptor (in
; ISO_BUF after iso_open), without its trailing blanks, and a line break.
; Changes AL, CX and SI.
put_volume_id:
        mov si, ISO_BUF + iso_pvd.volume_id
        mov cx, ISO_VOLUME_ID_LENGTH
.trim:  cmp byte [si + ISO_VOLUME_ID_LENGTH - 1], ' '
        je .shorter
        cmp byte [si + ISO_VOLUME_ID_LENGTH - 1], 0
        jne .print
.shorter:
        dec si                  ; look one character further to the left
        loop .trim
        jmp .newline
.print: mov si, ISO_BUF + iso_pvd.volume_id
.char:  lodsb
        call putc_both
        loop .char
.newline:
        mov si, msg_newline
        jmp puts_both

%include "console.inc"
%include "number.inc"
%include "iso9660.inc"

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
        db 0
msg_volume:    db "CD volume: ", 0
msg_loader:    db "Setup loader: \", 0
setup_path:    db "I386\SETUPLDR.BIN", 0
msg_found:     db " found, ", 0
msg_bytes:     db " bytes; starting it", 13, 10, 0
msg_not_found: db " not found on the CD", 0
msg_empty:     db " is empty", 0
msg_too_large: db ": too large to load at 2000:0000", 0
msg_no_pvd:    db "No ISO 9660 primary volume descriptor on the CD", 0
msg_needs_cd:  db "This entry needs the CD: it reads 2048-byte CD sectors and cannot start from a USB stick or a hard disk", 0
msg_halted:    db "; the system is halted.", 13, 10, 0
msg_newline:   db 13, 10, 0

%if $ - $$ > 2048
%error "the boot sector is larger than 2048 bytes"
%endif
        times 2048 - ($ - $$) db 0

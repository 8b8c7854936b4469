; A CD boot sector for the boot-menu test: started by isolinux with DL = the
; CD drive, it reads the primary volume descriptor (LBA 16) through int 13h
; AH=42h and prints the volume id found there, so the test sees that the
; sector runs with a drive it can read the CD from.
        bits 16
        org 0x7C00

%include "iso9660_layout.inc"

        cli
        jmp 0x0000:start
start:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        sti
        cld
        mov ah, 0x42
        mov si, packet
        int 0x13
        jc .failed
        cmp dword [buffer + iso_vd.id], 'CD00'   ; of "CD001"
        jne .failed
        mov byte [buffer + iso_pvd.volume_id + ISO_VOLUME_ID_LENGTH], 0
        mov si, found
        call print
        mov si, buffer + iso_pvd.volume_id
        call print
        mov si, crlf
        call print
        jmp halt
.failed:
        mov si, failed
        call print
        jmp halt

%include "serial_print.inc"

found:  db 13, 10, "CD volume: ", 0
failed: db 13, 10, "CD probe: the CD cannot be read", 13, 10, 0
crlf:   db 13, 10, 0
        align 4
packet: db 16, 0
        dw 1                    ; one 2048-byte sector
        dw buffer, 0            ; to 0000:buffer
        dq ISO_VD_FIRST_LBA     ; the primary volume descriptor

        times 2048 - ($ - $$) db 0
buffer:

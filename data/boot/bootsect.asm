; Boot sector of the Kiv boot floppies (files/bootsect.bin): 512 bytes, FAT12.
; Bytes 3 to 61 hold the OEM name and the BIOS parameter block; the floppy
; image tool writes its own BPB over them, so the code starts at byte 62 and
; reads nothing from the BPB but the volume label it shows. The code prints a
; banner to the screen and to COM1 and waits: the DOS system files shipped
; with the toolkit are stand-ins, so there is no DOS to load.
        bits 16
        org 0x7C00

        jmp short start
        nop
; ---- bytes 3..61: OEM name + BPB (a 1.44 MB default, replaced by the image tool)
oem_name:       db "KIVBOOT "
bytes_per_sec:  dw 512
sec_per_clus:   db 1
reserved_secs:  dw 1
fat_count:      db 2
root_entries:   dw 224
total_secs:     dw 2880
media:          db 0xF0
secs_per_fat:   dw 9
secs_per_track: dw 18
heads:          dw 2
hidden_secs:    dd 0
total_secs32:   dd 0
drive_number:   db 0
reserved1:      db 0
ext_signature:  db 0x29
volume_serial:  dd 0
volume_label:   db "KIV BOOT   "
fs_type:        db "FAT12   "
%if ($ - $$) != 62
%error "the BPB must end at byte 62"
%endif

start:  cli
        jmp 0x0000:.flat        ; normalise CS to 0
.flat:  xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        cld
        sti
        call serial_init
        mov si, banner
        call puts_both
        cmp byte [ext_signature], 0x29
        jne .done
        mov si, label_text
        call puts_both
        mov si, volume_label
        mov cx, 11
.label: lodsb
        call putc_both
        loop .label
        mov si, crlf
        call puts_both
.done:  jmp halt_forever

%include "console.inc"

banner:     db 13, 10, "Kiv boot disk: DOS system files are stand-ins, DOS cannot start", 13, 10, 0
label_text: db "Volume label: ", 0
crlf:       db 13, 10, 0

        times 510 - ($ - $$) db 0
        dw 0xAA55

; The boot menu's "Boot from the first hard disk" (boot/isolinux/harddisk.bin):
; a boot sector that isolinux starts at 0000:7C00 with DL = the drive it runs
; from. It reads the machine's first hard disk's MBR and starts it as the
; BIOS would (0000:7C00, DL = the disk). The first hard disk is drive 80h
; when the menu runs from the CD; from a USB stick the BIOS counts the stick
; as 80h, so the machine's own disk is 81h. Sector 17 tells the two apart:
; read from a CD (int 13h AH=42h, 2048-byte sectors) it is the El Torito boot
; record; on a stick it lies in the image's unused first 32 KiB.
;
; With no disk there, or one without the boot signature 55AAh, it says so
; ("No bootable hard disk found (...)"), waits for a key (keyboard or the
; menu's serial console: the port the build writes after "KIVHDCOM")
; and starts the medium it came from again: the CD's El Torito boot image
; (the loader, which asks the password, if any, and opens the menu) or the
; stick's MBR. Needs a 386, like the rest of the CD's boot code.
        bits 16
        cpu 386
        org 0x0600

%include "iso9660_layout.inc"

MBR     equ 0x7C00
SIZE    equ 1024                ; isolinux loads all of the file
BUF     equ 0x1000              ; a CD sector or the drive parameters

entry:  cli
        xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, MBR
        mov si, MBR             ; out of the way of the MBR
        mov di, 0x0600
        mov cx, SIZE / 2
        cld
        rep movsw
        jmp 0x0000:start
start:  sti
        mov [medium], dl
        call serial_init
        ; From the CD: drive 80h; from a disk: the next one.
        mov eax, ELTORITO_BRVD_LBA
        call read_cd
        jc .disk
        cmp dword [BUF + eltorito_brvd.system_id], 'EL T'   ; "EL TORITO ..."
        mov al, 0x80
        je .target
.disk:  mov al, [medium]
        inc ax
        mov byte [from_cd], 0
.target:
        mov [disk], al
        mov si, MBR >> 4        ; three tries, the drive reset between them
        mov bp, 3
.read:  mov ax, 0x0201          ; cylinder 0, head 0, sector 1
        mov cx, 0x0001
        xor dh, dh
        mov dl, [disk]
        xor bx, bx
        push es
        mov es, si
        int 0x13
        pop es
        jnc .check
        xor ax, ax
        mov dl, [disk]
        int 0x13
        dec bp
        jnz .read
        mov di, msg_no_disk
        jmp not_bootable
.check: mov di, msg_no_signature
        cmp word [MBR + 510], 0xAA55
        jne not_bootable
        mov dl, [disk]
        jmp 0x0000:MBR

; DI = what is wrong with the disk. Says so, waits for a key, then starts the
; medium this sector came from again. Never returns (halts when that medium
; cannot be read).
not_bootable:
        mov si, msg_none
        call puts_both
        mov al, [disk]
        call put_hex8
        mov si, di
        call puts_both
        mov si, msg_press
        call puts_both
.poll:  mov ah, 0x01            ; a key waiting?
        int 0x16
        jnz .key
        mov dx, [serial_port]   ; none chosen: the keyboard alone
        test dx, dx
        jz .idle
        add dx, UART_LSR
        in al, dx
        cmp al, 0xFF            ; no UART there
        je .idle
        test al, 0x01
        jz .idle
        sub dx, UART_LSR
        in al, dx               ; taken, and done with
        jmp .again
.idle:  hlt
        jmp .poll
.key:   xor ah, ah
        int 0x16
.again: mov si, msg_newline
        call puts_both
        mov dl, [medium]
        cmp byte [from_cd], 0
        je restart_disk
        ; The CD: boot record (sector 17) -> boot catalog -> initial entry,
        ; whose first sector goes to 0000:7C00.
        mov eax, ELTORITO_BRVD_LBA
        call read_cd_or_halt
        mov eax, [BUF + eltorito_brvd.catalog_lba]
        call read_cd_or_halt
        mov word [dap.segment], MBR >> 4
        mov eax, [BUF + eltorito_catalog.load_lba]
        call read_cd_or_halt
        jmp 0x0000:MBR
restart_disk:
        mov ax, 0x0201
        mov cx, 0x0001
        xor dh, dh
        mov bx, MBR
        int 0x13
        jc halt_forever
        jmp 0x0000:MBR

; As read_cd, but halts when the sector cannot be read.
read_cd_or_halt:
        call read_cd
        jc halt_forever
        ret

; EAX = CD sector, one 2048-byte sector to [dap.segment]:0000 from the drive
; [medium]; CF set when it cannot be read (AH = the BIOS error code). Changes
; AX, DL and SI.
read_cd:
        mov [dap.lba], eax
        mov si, dap
        mov ah, 0x42
        mov dl, [medium]
        int 0x13
        ret

; The serial console, as the menu script chooses it: the build writes the
; port (0x3F8, 0x2F8, or 0 for none) after the tag; as shipped, COM1.
%define SERIAL_PORT serial_port
%include "console.inc"
%include "number.inc"

msg_none:         db 13, 10, "No bootable hard disk found (drive ", 0
msg_no_disk:      db "h does not answer)", 0
msg_no_signature: db "h has no boot signature)", 0
msg_press:        db ".", 13, 10, "Press a key to return to the boot menu.", 0
msg_newline:      db 13, 10, 0

        align 4, db 0
dap:    db 16, 0
        dw 1
        dw 0
.segment: dw BUF >> 4
.lba:   dq 0
        align 2, db 0
serial_tag:  db "KIVHDCOM"
serial_port: dw COM1
medium:  db 0
disk:    db 0
from_cd: db 1

%if $ - $$ > SIZE
%error "harddisk.bin is larger than SIZE"
%endif
        times SIZE - ($ - $$) db 0

; Boot sector of the Kiv boot floppies (files/bootsect.bin): 512 bytes, FAT12.
; Bytes 3 to 61 hold the OEM name and the BIOS parameter block; the floppy
; image tool writes its own BPB over them, so the code starts at byte 62 and
; takes the disk's geometry from whatever BPB the disk carries.
;
; It starts MS-DOS 7 (Windows 98) IO.SYS the way IO.SYS expects to be started:
;   - IO.SYS is looked up anywhere in the root folder; its first 4 sectors
;     (contiguous from its first cluster) go to 0070:0000, and control passes
;     to 0070:0200 once "MZ" at 0 and "BJ" at 200h show a DOS 7 IO.SYS;
;   - SS:BP = 0000:7C00, the boot sector and its BPB; byte [BP+2] = 90h
;     (CHS access); the BPB drive byte [BP+24h] = the boot drive;
;   - DI = the first cluster of IO.SYS;
;   - dword [BP-4] = LBA of the first data sector, hidden sectors included;
;   - int 1Eh points at a copy of the diskette parameter table at 0000:0522,
;     with the BPB's sectors per track and a head settle time of 0Fh;
;   - SP = 7BF4, and the stack holds 0078h, 0000h and the old int 1Eh vector
;     (offset, then segment), which IO.SYS restores.
; Root sectors are read to 0000:0700 (0000:0500 would overwrite the table at
; 0522); IO.SYS then lands on the same memory. A failure is shown on the
; screen and COM1, and the machine waits.
        bits 16
        org 0x7C00

BPB_SEC_PER_CLUS  equ 0x0D
BPB_RESERVED      equ 0x0E
BPB_FATS          equ 0x10
BPB_ROOT_ENTRIES  equ 0x11
BPB_SECS_PER_FAT  equ 0x16
BPB_SECS_PER_TRK  equ 0x18
BPB_HEADS         equ 0x1A
BPB_HIDDEN        equ 0x1C
BPB_DRIVE         equ 0x24
DATA_LBA          equ -4            ; [BP-4]: first data sector
DPT               equ 0x0522        ; the copied diskette parameter table
BUFFER            equ 0x0700        ; root sectors, then IO.SYS (0070:0000)
IO_LOAD_SECTORS   equ 4

        jmp short start
        nop                     ; byte 2 = 90h: the disk is read by CHS
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

start:  jmp 0x0000:.flat        ; normalise CS to 0
.flat:  cli
        xor cx, cx
        mov ss, cx
        mov sp, 0x7C00 + DATA_LBA
        mov es, cx
        mov ds, cx
        mov bp, 0x7C00
        mov [bp+BPB_DRIVE], dl  ; IO.SYS takes the boot drive from here
        cld
        ; Copy the diskette parameter table, keep the old vector on the stack.
        mov bx, 0x1E * 4
        lds si, [bx]
        push ds
        push si
        push ss
        push bx                 ; SP = 7BF4: 0078, 0000, old offset, old segment
        mov di, DPT
        mov cl, 11
        rep movsb
        mov ds, cx
        mov al, [bp+BPB_SECS_PER_TRK]
        mov [DPT+4], al
        mov byte [DPT+9], 0x0F
        mov word [bx], DPT
        mov [bx+2], cx
        sti
        xor ax, ax
        int 0x13                ; reset, so the table takes effect
        call serial_init

        ; Root folder: after the reserved sectors and the FATs.
        mov al, [bp+BPB_FATS]
        cbw
        mul word [bp+BPB_SECS_PER_FAT]
        add ax, [bp+BPB_RESERVED]
        adc dx, cx
        add ax, [bp+BPB_HIDDEN]
        adc dx, [bp+BPB_HIDDEN+2]
        mov cx, [bp+BPB_ROOT_ENTRIES]
        add cx, 15
        shr cx, 4               ; root sectors, 16 entries each
        mov [bp+DATA_LBA], ax
        add [bp+DATA_LBA], cx
        adc dx, 0
        mov [bp+DATA_LBA+2], dx

.sector:
        mov bx, BUFFER
        call read_sector        ; AX = next root sector
        mov di, bx
.entry: pusha
        mov si, io_name
        mov cx, 11
        repe cmpsb
        popa
        jne .skip
        test byte [di+11], 0x18 ; neither a folder nor the volume label
        jz .found
.skip:  add di, 32
        cmp di, BUFFER + 512
        jb .entry
        loop .sector
        mov si, msg_no_io
        jmp fail

.found: mov di, [di+0x1A]       ; first cluster
        mov al, [bp+BPB_SEC_PER_CLUS]
        cbw                     ; 1 or 2 on a floppy
        lea cx, [di-2]
        mul cx
        add ax, [bp+DATA_LBA]
        mov bx, BUFFER
        mov cx, IO_LOAD_SECTORS
.load:  call read_sector
        add bx, 512
        loop .load
        mov si, msg_not_dos7
        cmp word [BUFFER], "MZ"
        jne fail
        cmp word [BUFFER+0x200], "BJ"
        jne fail
        mov dl, [bp+BPB_DRIVE]
        jmp 0x0070:0x0200

; AX = LBA (below 65536, as on any floppy), ES:BX = buffer. Reads one sector by
; CHS, resetting the disk and trying again up to 5 times. AX + 1 on return.
read_sector:
        pusha
        mov di, 5
.try:   pusha
        xor dx, dx
        div word [bp+BPB_SECS_PER_TRK]
        mov cx, dx
        inc cx                  ; CL = sector (1-based)
        cwd
        div word [bp+BPB_HEADS]
        mov ch, al              ; cylinder (a floppy has fewer than 256)
        mov dh, dl              ; head
        mov dl, [bp+BPB_DRIVE]
        mov ax, 0x0201
        int 0x13
        jnc .done
        xor ax, ax              ; reset; DL still holds the drive
        int 0x13
        popa
        dec di
        jnz .try
        mov si, msg_read
        jmp fail
.done:  popa
        popa
        inc ax
        ret

; SI = reason. Shown on the screen and COM1; then the machine waits.
fail:   push si
        mov si, msg_prefix
        call puts_both
        pop si
        call puts_both
        jmp halt_forever

; Text output: the boot sector's short form of console.inc (same names and
; behaviour, fewer bytes): the screen (int 10h teletype) and COM1, 115200 8N1.

; COM1: divisor 1 (115200 baud), 8N1, DTR and RTS. Changes AX, DX.
serial_init:
        mov dx, 0x3FB
        mov al, 0x80            ; divisor latch access
        out dx, al
        mov dl, 0xF8
        mov al, 1               ; divisor low byte
        out dx, al
        inc dx
        dec ax                  ; divisor high byte 0; interrupts off
        out dx, al
        mov dl, 0xFB
        mov al, 0x03            ; 8N1, latch off
        out dx, al
        inc dx
        out dx, al              ; MCR: DTR and RTS
        ret

; AL = character, to the screen and to COM1. The wait for the transmitter is
; bounded, so a machine without COM1 cannot hang. Changes nothing.
putc_both:
        pusha
        mov ah, 0x0E
        mov bx, 0x0007          ; page 0, light grey
        int 0x10
        popa
        pusha
        mov ah, al
        mov dx, 0x3FD           ; line status
        xor cx, cx
.wait:  in al, dx
        test al, 0x20           ; transmit holding register empty
        loopz .wait
        mov al, ah
        mov dl, 0xF8
        out dx, al
        popa
        ret

; SI = zero-terminated text.
puts_both:
        lodsb
        test al, al
        jz .done
        call putc_both
        jmp puts_both
.done:  ret

; Never returns: sleeps between interrupts for good.
halt_forever:
        sti
.sleep: hlt
        jmp .sleep

io_name:      db "IO      SYS"
msg_prefix:   db 13, 10, "Kiv boot sector: ", 0
msg_no_io:    db "no IO.SYS in the root folder", 13, 10, 0
msg_not_dos7: db "IO.SYS is not an MS-DOS 7 IO.SYS", 13, 10, 0
msg_read:     db "disk read error", 13, 10, 0

%if ($ - $$) > 510
%error "the boot sector code is too long"
%endif
        times 510 - ($ - $$) db 0
        dw 0xAA55

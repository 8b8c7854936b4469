; Boot sector of the Kiv boot floppies (files/bootsect.bin): 512 bytes, FAT12.
; Bytes 3 to 61 hold the OEM name and the BIOS parameter block; the floppy
; image tool writes its own BPB over them, so the code starts at byte 62 and
; takes the disk's geometry from whatever BPB the disk carries.
;
; It starts the DOS kernel in the file IO.SYS, the root folder's first entry
; (the floppy image tool writes it there, contiguous from its first cluster).
; The file's first bytes tell which kernel it is:
;   "MZ" at 0 and "BJ" at 200h: MS-DOS 7 (Windows 98) IO.SYS;
;   EBh (a short jump) at 0 and "CONFIG" at 2: a FreeDOS kernel (KERNEL.SYS,
;   KERNL386.SYS, plain or compressed: each starts with a jump over its
;   CONFIG block), shorter than 256 KiB.
; Anything else is refused with "IO.SYS is not an MS-DOS 7 IO.SYS".
;
; MS-DOS 7 IO.SYS is started the way it expects:
;   - its first 4 sectors go to 0070:0000, control passes to 0070:0200;
;   - SS:BP = 0000:7C00, the boot sector and its BPB; byte [BP+2] = 90h
;     (CHS access); the BPB drive byte [BP+24h] = the boot drive, also in DL;
;   - DI = the first cluster of IO.SYS;
;   - dword [BP-4] = LBA of the first data sector (a floppy has no hidden
;     sectors);
;   - int 1Eh points at a copy of the diskette parameter table at 0000:0522,
;     with the BPB's sectors per track and a head settle time of 0Fh;
;   - SP = 7BF4, and the stack holds 0078h, 0000h and the old int 1Eh vector
;     (offset, then segment), which IO.SYS restores.
; A FreeDOS kernel is started by FreeDOS's load protocol:
;   - the whole file at 0060:0000, then a far jump to 0060:0000;
;   - BL = the boot drive. Besides BL the kernel's entry saves BP and SS:SP
;     (it pushes BP there and looks below SS:BP for a command line, which it
;     takes only from a stack lying at least 114h bytes below BP): SS:BP
;     points at a copy of this sector and its BPB, [BP+24h] = the boot
;     drive, SP = BP - 0Ch, and that stack lies above the kernel's end;
;   - int 1Eh as above (the kernel copies the table it points at).
;   The kernel covers 0000:0600 up to its end, this sector and its stack
;   included, so before loading it the sector copies itself to 4000:7C00 and
;   carries on there. The file is read one sector at a time: no read crosses
;   a track or a 64 KiB DMA boundary, and the segment advances by 512 bytes a
;   sector, so a kernel longer than 64 KiB loads whole.
; Root sectors are read to 0000:0700 (0000:0500 would overwrite the table at
; 0522); IO.SYS then lands on the same memory. A failure is shown on the
; screen and COM1, and the machine waits.
        bits 16
        org 0x7C00

%include "fat_layout.inc"

BUFFER            equ IO_LOAD_SEG << 4  ; root sector, then IO.SYS (0070:0000)
KERNEL_SEG        equ 0x0060        ; a FreeDOS kernel, whole, at 0060:0000
HIGH_SEG          equ 0x4000        ; where the sector carries on meanwhile
; A kernel file shorter than 256 KiB (at most 512 sectors loaded) ends at
; least 1 KiB below the copy, leaving room for the stack.
KERNEL_MAX_SECTORS equ 512
%if KERNEL_SEG * 16 + KERNEL_MAX_SECTORS * 512 > HIGH_SEG * 16 + 0x7C00 - 0x400
%error "the largest kernel would reach the sector's copy"
%endif

; ---- bytes 0..61: the jump, then from byte 3 the OEM name and the BPB (a
; 1.44 MB default, replaced by the image tool)
        istruc bpb
        at bpb.jump,           jmp short start
                               nop      ; byte 2 = 90h: the disk is read by CHS
        at bpb.oem_name,       db "KIVBOOT "
        at bpb.bytes_per_sec,  dw 512
        at bpb.sec_per_clus,   db 1
        at bpb.reserved_secs,  dw 1
        at bpb.fats,           db 2
        at bpb.root_entries,   dw 224
        at bpb.total_secs,     dw 2880
        at bpb.media,          db 0xF0
        at bpb.secs_per_fat,   dw 9
        at bpb.secs_per_track, dw 18
        at bpb.heads,          dw 2
        at bpb.hidden_secs,    dd 0
        at bpb.total_secs32,   dd 0
        at bpb.drive,          db 0
        at bpb.reserved1,      db 0
        at bpb.ext_signature,  db BPB_EXT_SIGNATURE
        at bpb.volume_serial,  dd 0
        at bpb.volume_label,   db "KIV BOOT   "
        at bpb.fs_type,        db "FAT12   "
        iend
%if ($ - $$) != bpb_size
%error "the BPB must end at byte 62"
%endif

; Only relative jumps and calls until the far jumps below: CS may be 0 or 07C0.
start:  xor cx, cx
        mov ss, cx              ; (no interrupt until SP is set too)
        mov sp, 0x7C00 + IO_DATA_LBA
        mov es, cx
        mov ds, cx
        mov bp, 0x7C00
        mov [bp+bpb.drive], dl  ; IO.SYS takes the boot drive from here
        cld
        ; Copy the diskette parameter table, keep the old vector on the stack.
        mov bx, 0x1E * 4
        lds si, [bx]
        push ds
        push si
        push ss
        push bx                 ; SP = 7BF4: 0078, 0000, old offset, old segment
        mov di, DPT_COPY
        mov cl, dpt_size
        rep movsb
        mov ds, cx
        mov al, [bp+bpb.secs_per_track]
        mov [DPT_COPY+dpt.secs_per_track], al
        mov byte [DPT_COPY+dpt.head_settle], 0x0F
        mov word [bx], DPT_COPY
        mov [bx+2], cx
        sti
        ; COM1: divisor 1 (115200 baud), 8N1, DTR and RTS.
        ; (A word written to a port goes to it and the next port.)
        mov dx, 0x3FB
        mov al, 0x80            ; divisor latch access
        out dx, al
        mov dl, 0xF8
        mov ax, 1               ; divisor 1
        out dx, ax
        mov dl, 0xFB
        mov ax, 0x0303          ; 8N1, latch off; MCR: DTR and RTS
        out dx, ax

        ; Root folder: after the reserved sectors and the FATs. A floppy has
        ; no hidden sectors, fewer than 65536 sectors, and a multiple of 16
        ; root entries (a whole number of sectors): DX = 0 from here.
        mov al, [bp+bpb.fats]
        cbw
        mul word [bp+bpb.secs_per_fat]
        add ax, [bp+bpb.reserved_secs]
        mov cx, [bp+bpb.root_entries]
        shr cx, 4               ; root sectors, 16 entries each
        add cx, ax              ; (fewer than 256: CH = 0)
        mov [bp+IO_DATA_LBA], cx
        mov [bp+IO_DATA_LBA+2], dx

        ; The first root entry must be the file IO.SYS.
        mov bx, BUFFER
        call read_sector
        mov di, bx
        mov si, io_name
        mov cl, FAT_NAME_LENGTH
        repe cmpsb              ; DI = BUFFER + 11, SI = kernel_sig
        jne .no_io
        ; Its length / 256, for later, and its first cluster.
        push word [di-FAT_NAME_LENGTH+fat_dirent.length+1]
        mov di, [di-FAT_NAME_LENGTH+fat_dirent.cluster]
        mov al, [bp+bpb.sec_per_clus]
        cbw                     ; 1 or 2 on a floppy
        lea cx, [di-FAT_FIRST_CLUSTER]
        mul cx
        add ax, [bp+IO_DATA_LBA]
        push ax
        mov cx, IO_LOAD_SECTORS ; to BUFFER, BX still
.load:  call read_sector
        add bh, 512 / 256
        loop .load
        pop ax                  ; the first sector again
        pop dx                  ; SP = 7BF4 again
        cmp word [BUFFER], "MZ"
        jne .freedos
        cmp word [BUFFER+IO_ENTRY], "BJ"
        jne .unknown
        mov dl, [bp+bpb.drive]
        jmp IO_LOAD_SEG:IO_ENTRY

.no_io: call fail
        db "no IO.SYS in the root folder", 0

.freedos:
        mov di, BUFFER + 2
        mov cl, 6
        repe cmpsb
        jne .unknown
        cmp byte [di-8], 0xEB
        jne .unknown
        shr dx, 1
        cmp dh, (KERNEL_MAX_SECTORS - 1) >> 8
        ja .unknown
        inc dx                  ; DX = sectors to load (one more when the
                                ; length is a multiple of 512: harmless)
        push word HIGH_SEG
        pop es
        mov si, bp
        mov di, bp
        mov ch, 1               ; 256 words
        rep movsw
        jmp HIGH_SEG:.moved
.moved: push cs                 ; (DS is not used from here: BPB through
        pop ss                  ;  SS:BP, texts through CS); SP stays 7BF4
        mov cx, dx
        mov di, KERNEL_SEG
        xor bx, bx
.kernel:
        mov es, di
        call read_sector
        add di, 512 / 16
        loop .kernel
        mov bl, [bp+bpb.drive]
        jmp KERNEL_SEG:0x0000

.unknown:
        call fail
        db "IO.SYS is not an MS-DOS 7 IO.SYS", 0

; AX = LBA (below 65536, as on any floppy), ES:BX = buffer. Reads one sector by
; CHS, resetting the disk and trying again up to 5 times. AX + 1 on return;
; keeps every other register. A sector that cannot be read is reported
; (fail): no return then.
read_sector:
        pusha
        mov di, 5
.try:   pusha
        cwd                     ; (below 32768)
        div word [bp+bpb.secs_per_track]
        mov cx, dx
        inc cx                  ; CL = sector (1-based)
        cwd
        div word [bp+bpb.heads]
        mov ch, al              ; cylinder (a floppy has fewer than 256)
        mov dh, dl              ; head
        mov dl, [bp+bpb.drive]
        mov ax, 0x0201
        int 0x13
        jnc .done
        xor ax, ax              ; reset; DL still holds the drive
        int 0x13
        popa
        dec di
        jnz .try
        call fail
        db "disk read error", 0
.done:  popa
        popa
        inc ax
        ret

; The zero-terminated reason follows the call. Shown on the screen and COM1;
; then the machine waits: never returns.
; Texts are found through CS, whether the BIOS started the sector at 0000:7C00
; or 07C0:0000.
fail:   call .prefix
        db "Kiv boot sector: ", 0
.prefix:
        pop si
        call puts_both
        pop si
        call puts_both
.sleep: hlt
        jmp .sleep

; CS:SI = zero-terminated text, to the screen (int 10h teletype) and COM1. The
; wait for the transmitter is bounded, so a machine without COM1 cannot hang.
; Changes AL and SI (past the terminating zero).
puts_both:
        cs lodsb
        test al, al
        jz .done
        pusha
        xchg ax, bx             ; BL = the character
        mov dx, 0x3FD           ; line status
        xor cx, cx
.wait:  in al, dx
        test al, 0x20           ; transmit holding register empty
        loopz .wait
        mov dl, 0xF8
        xchg ax, bx
        out dx, al
        mov ah, 0x0E
        mov bh, 0               ; page 0
        int 0x10
        popa
        jmp puts_both
.done:  ret

io_name:      db "IO      SYS"
kernel_sig:   db "CONFIG"

%if ($ - $$) > 510
%error "the boot sector code is too long"
%endif
        times 510 - ($ - $$) db 0
        dw 0xAA55

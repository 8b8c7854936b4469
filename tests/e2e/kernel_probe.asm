; Test stand-in for a FreeDOS kernel, put on a floppy as IO.SYS: it checks the
; hand-over FreeDOS's load protocol asks of a boot sector and reports on the
; screen and COM1, then waits.
;
; It looks like a FreeDOS kernel by the content test the boot sector applies
; (and the DOS files import can apply): byte 0 is EBh, a short jump, and
; bytes 2 to 7 are "CONFIG", the start of the kernel's CONFIG block, which
; every FreeDOS kernel file (KERNEL.SYS, KERNL386.SYS, plain or compressed)
; begins with.
;
; Checked on entry, as the kernel's start-up code reads it:
;   - CS:IP = 0060:0000;
;   - BL = the boot drive: the floppy's boot sector, read again through drive
;     BL, is reported (label and serial, for the test to compare with the
;     image) and must equal the copy at SS:BP (but for its drive byte), whose
;     [BP+24h] must be BL too;
;   - the whole file at 0060:0000: it is 100 KiB less 256 bytes (more than
;     64 KiB and more than a track of a 1.44 or 2.88 MB floppy, and its last
;     sector half full), and every word behind the first 4 KiB of code holds
;     its own index in the file xor 5AA5h, so a sector missing, read twice
;     or put at the wrong place shows;
;   - SS:SP lies at least 256 bytes above the file's end (the kernel pushes
;     BP there), and no command line is handed over: the kernel takes one
;     when "CL" is at SS:BP-14h and SP is at least 114h below BP;
;   - int 1Eh points at a diskette parameter table for 512-byte sectors with
;     the BPB's sectors per track (the kernel copies that table);
;   - 0000:05E2 does not hold "CONFIG" (a compressed kernel's unpacker leaves
;     its CONFIG block there, and the kernel would take it and the boot drive
;     at 0000:05E0 instead of its own).
; One "FAULT" line per failed check, "OK" when there is none.
        bits 16
        cpu 386
        org 0

%include "fat_layout.inc"

LOAD_SEG     equ 0x0060
IMAGE_BYTES  equ 100 * 1024 - 256    ; not a whole number of sectors
CODE_BYTES   equ 0x1000         ; code, texts, variables and stack; the rest
                                ; of the file is the pattern
STACK_TOP    equ CODE_BYTES

start:  jmp short entry
        db "CONFIG"
        dw 0                    ; size of the CONFIG block's settings: none
        times 0x20 - ($ - $$) db 0

entry:  mov [cs:got_bl], bl     ; first, before anything changes them
        mov [cs:got_sp], sp
        mov [cs:got_ss], ss
        mov [cs:got_bp], bp
        mov [cs:got_cs], cs
        call .here              ; (pushes on the hand-over stack, as the
.here:  pop word [cs:got_ip]    ;  kernel does)
        cli
        mov ax, cs
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, STACK_TOP
        sti
        cld
        call serial_init

        ; What was handed over.
        mov si, t_banner
        call puts_both
        mov ax, [got_cs]
        mov bx, [got_ip]
        sub bx, entry.here - start
        call far_ptr
        mov si, t_bl
        call puts_both
        mov al, [got_bl]
        call hex8
        mov si, t_sssp
        call puts_both
        mov ax, [got_ss]
        mov bx, [got_sp]
        call far_ptr
        mov si, t_bp
        call puts_both
        mov ax, [got_bp]
        call hex16
        call newline
        mov si, t_int1e
        call puts_both
        push ds
        xor ax, ax
        mov ds, ax
        mov ax, [0x1E * 4 + 2]
        mov bx, [0x1E * 4]
        pop ds
        mov [vector], bx
        mov [vector+2], ax
        call far_ptr
        call newline

        ; CS:IP.
        mov si, f_entry
        cmp word [got_cs], LOAD_SEG
        jne .entry_bad
        cmp word [got_ip], entry.here
        je .entry_ok
.entry_bad:
        call fault
.entry_ok:

        ; Every word of the pattern: word n at (0060 + n / 8):(n mod 8 * 2).
        mov si, f_image
        mov bx, CODE_BYTES / 2
.word:  mov ax, bx
        shr ax, 3
        add ax, LOAD_SEG
        mov es, ax
        mov di, bx
        and di, 7
        shl di, 1
        mov ax, bx
        xor ax, 0x5AA5
        scasw
        jne .image_bad
        inc bx
        cmp bx, IMAGE_BYTES / 2
        jb .word
        push ds
        pop es
        mov si, t_image
        call puts_both
        mov eax, IMAGE_BYTES
        call put_dec
        mov si, t_image_end
        call puts_both
        jmp .image_done
.image_bad:
        push ds
        pop es
        shr bx, 8                       ; the sector of the file
        mov [bad_sector], bx
        call fault_begin
        mov ax, [bad_sector]
        call hex16
        call newline
.image_done:

        ; The boot drive: its boot sector, read through BL.
        mov si, f_read
        mov bp, 3
.read:  mov ax, 0x0201
        mov cx, 0x0001                  ; cylinder 0, sector 1
        xor dh, dh                      ; head 0
        mov dl, [got_bl]
        mov bx, sector
        int 0x13
        jnc .read_ok
        xor ax, ax
        int 0x13
        dec bp
        jnz .read
        call fault
        jmp .drive_done
.read_ok:
        mov si, t_drive
        call puts_both
        mov al, [got_bl]
        call hex8
        mov si, t_label
        call puts_both
        mov si, sector + bpb.volume_label
        mov cx, bpb.fs_type - bpb.volume_label
.label: lodsb
        call putc_both
        loop .label
        mov si, t_serial
        call puts_both
        mov ax, [sector + bpb.volume_serial + 2]
        call hex16
        mov ax, [sector + bpb.volume_serial]
        call hex16
        call newline
        ; SS:BP: a copy of that sector but for the drive byte, which is BL.
        push ds
        mov si, [got_bp]
        mov ds, [got_ss]
        mov di, bpb_copy
        mov cx, 512
        rep movsb
        pop ds
        mov si, f_bpb
        mov al, [got_bl]
        cmp [bpb_copy + bpb.drive], al
        jne .bpb_bad
        mov [bpb_copy + bpb.drive], al
        mov [sector + bpb.drive], al
        mov si, sector
        mov di, bpb_copy
        mov cx, 512
        repe cmpsb
        mov si, f_bpb
        je .bpb_ok
.bpb_bad:
        call fault
.bpb_ok:
        ; int 1Eh: a table for the disk (a sector read failed, no BPB to go by).
        mov si, f_int1e
        push ds
        lds bx, [vector]
        mov ax, [bx+dpt.sector_size]    ; and dpt.secs_per_track
        pop ds
        cmp al, 2
        jne .int1e_bad
        cmp ah, [sector + bpb.secs_per_track]
        je .drive_done
.int1e_bad:
        call fault
.drive_done:

        ; The stack: above the file, with room for pushes.
        mov si, f_stack
        movzx eax, word [got_ss]
        shl eax, 4
        movzx ebx, word [got_sp]
        add eax, ebx
        cmp eax, LOAD_SEG * 16 + IMAGE_BYTES + 256
        jae .stack_ok
        call fault
.stack_ok:

        ; No command line: what the kernel's start-up code tests, reversed.
        mov bx, [got_bp]
        cmp bx, 0x114
        jb .cl_ok
        push ds
        mov ds, [got_ss]
        cmp word [bx-0x14], "CL"
        pop ds
        jne .cl_ok
        lea ax, [bx-0x114]
        cmp [got_sp], ax
        ja .cl_ok
        mov si, f_cmdline
        call fault
.cl_ok:

        ; No CONFIG block left at 0000:05E2.
        push ds
        xor ax, ax
        mov ds, ax
        cmp dword [0x5E2], "CONF"
        jne .low_ok
        cmp word [0x5E6], "IG"
.low_ok:
        pop ds
        jne .low_done
        mov si, f_low_config
        call fault
.low_done:

        cmp byte [faults], 0
        jne .done
        mov si, t_ok
        call puts_both
.done:  jmp halt_forever

; SI = what is wrong: one "FAULT" line, counted.
fault:  call fault_begin
        jmp newline
; SI = what is wrong, the start of a "FAULT" line, counted.
fault_begin:
        push si
        mov si, t_fault
        call puts_both
        pop si
        call puts_both
        inc byte [faults]
        ret

newline:
        mov si, t_crlf
        jmp puts_both

%include "console.inc"
%include "number.inc"
%include "hex.inc"

t_banner:     db 13, 10, "Kiv kernel probe: CS:IP ", 0
t_bl:         db ", BL ", 0
t_sssp:       db ", SS:SP ", 0
t_bp:         db ", BP ", 0
t_int1e:      db "Kiv kernel probe: int 1Eh ", 0
t_image:      db "Kiv kernel probe: ", 0
t_image_end:  db " bytes at 0060:0000 as in the file", 13, 10, 0
t_drive:      db "Kiv kernel probe: drive ", 0
t_label:      db " holds volume ", 0
t_serial:     db ", serial ", 0
t_fault:      db "Kiv kernel probe: FAULT ", 0
t_ok:         db "Kiv kernel probe: OK", 13, 10, 0
t_crlf:       db 13, 10, 0
f_entry:      db "entry not 0060:0000", 0
f_image:      db "the file differs from sector ", 0
f_read:       db "drive BL cannot be read", 0
f_bpb:        db "SS:BP is not the boot sector of drive BL", 0
f_int1e:      db "int 1Eh: no table for 512-byte sectors and the BPB's sectors per track", 0
f_stack:      db "SS:SP not 256 bytes above the file", 0
f_cmdline:    db "a command line below SS:BP", 0
f_low_config: db "a CONFIG block at 0000:05E2", 0

        align 2, db 0
got_bl:       db 0
faults:       db 0
got_sp:       dw 0
got_ss:       dw 0
got_bp:       dw 0
got_cs:       dw 0
got_ip:       dw 0
vector:       dd 0
bad_sector:   dw 0
sector:       times 512 db 0
bpb_copy:     times 512 db 0

%if ($ - $$) > STACK_TOP - 0x200
%error "the code leaves less than 512 bytes of stack"
%endif
        times CODE_BYTES - ($ - $$) db 0

; ---- the pattern: word n of the file holds n xor 5AA5h ----------------------
%assign word_index CODE_BYTES / 2
%rep (IMAGE_BYTES - CODE_BYTES) / 2
        dw word_index ^ 0x5AA5
%assign word_index word_index + 1
%endrep

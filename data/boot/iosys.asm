; The stand-in IO.SYS of the Kiv boot floppies (dos/IO.SYS until the real
; Windows 98 files are imported). The boot sector starts it exactly as it
; starts MS-DOS 7 IO.SYS: the first 4 sectors at 0070:0000, "MZ" at 0, "BJ"
; at 200h, entry at 0070:0200. It checks everything the boot sector hands
; over against what it works out itself from the BPB at 0000:7C00 and the
; disk's root folder (read again through int 13h), prints the values and the
; verdict on the screen and COM1, tells how to import the real files, and
; waits.
;
; The file is exactly the 2048 bytes the boot sector loads and never writes to
; them, so it can compare the loaded copy with the sectors on the disk; its
; variables and buffers lie behind it.
        bits 16
        org 0

%include "fat_layout.inc"

IMAGE_BYTES       equ IO_LOAD_SECTORS * 512
BOOT              equ 0x7C00        ; boot sector and BPB, segment 0
SECTOR_BUF        equ 0x0800        ; one sector (root folder, boot sector)
IMAGE_BUF         equ 0x0A00        ; IO.SYS's first 4 sectors, read again
STACK_TOP         equ 0x3000

; ---- 0..1FFh: the MZ signature, a readable note, and texts -------------
        db "MZ"
        db 13, 10, "KIV STAND-IN FILE - NOT THE REAL IO.SYS", 13, 10, 0x1A, 0
f_entry:      db "entry not 0070:0200", 0
f_ssbp:       db "SS:BP not 0000:7C00", 0
f_sp:         db "SP not 7BF4", 0
f_stack:      db "stack: no 0078 0000", 0
f_old_vector: db "stack: no old int 1Eh vector", 0
f_int1e:      db "int 1Eh not 0000:0522", 0
f_dpt_spt:    db "table: sectors per track not the BPB's", 0
f_settle:     db "table: head settle not 0F", 0
f_chs:        db "[BP+2] not 90", 0
f_data_lba:   db "[BP-4] not the first data sector", 0
f_drive:      db "[BP+24h] not the boot drive", 0
f_no_io:      db "IO.SYS not in the root folder", 0
f_cluster:    db "DI not IO.SYS's first cluster", 0
f_image:      db "0070:0000 not IO.SYS's first 4 sectors", 0
%if ($ - $$) > IO_ENTRY
%error "the texts before the entry point are too long"
%endif
        times IO_ENTRY - ($ - $$) db 0

; ---- 200h: entry ----------------------------------------------------------
entry:  db "BJ"                 ; inc dx, dec dx: the signature runs as code
        mov [cs:got_sp], sp
        mov [cs:got_ss], ss
        mov [cs:got_bp], bp
        mov [cs:got_di], di
        mov [cs:got_cs], cs
        call .here
.here:  pop word [cs:got_ip]
        cld
        mov ax, cs
        mov es, ax
        ; The four words the boot sector left on its stack.
        mov ds, [cs:got_ss]
        mov si, [cs:got_sp]
        mov di, got_stack
        mov cx, 4
        rep movsw
        ; The old diskette table, as far as the stack names one.
        lds si, [cs:got_stack+4]
        mov di, old_dpt
        mov cl, dpt_size
        rep movsb
        ; Boot sector (with the dword before it), table and vector of segment 0.
        xor ax, ax
        mov ds, ax
        mov si, BOOT + IO_DATA_LBA
        mov di, boot + IO_DATA_LBA
        mov cx, (512 - IO_DATA_LBA) / 2
        rep movsw
        mov si, DPT_COPY
        mov di, new_dpt
        mov cl, dpt_size
        rep movsb
        mov si, 0x1E * 4
        mov di, vector
        movsw
        movsw
        ; Our own stack and segments from here on.
        cli
        mov ax, cs
        mov ds, ax
        mov ss, ax
        mov sp, STACK_TOP
        sti
        mov byte [faults], 0

        call serial_init
        mov si, t_banner
        call puts_both
        cmp byte [boot+bpb.ext_signature], BPB_EXT_SIGNATURE
        jne .no_label
        mov si, t_label
        call puts_both
        mov si, boot + bpb.volume_label
        mov cx, bpb.fs_type - bpb.volume_label
.label: lodsb
        call putc_both
        loop .label
        call newline
.no_label:

        ; What the boot sector handed over.
        mov si, t_cluster
        call puts_both
        mov ax, [got_di]
        call hex16
        mov si, t_data_lba
        call puts_both
        mov ax, [boot+IO_DATA_LBA+2]
        call hex16
        mov ax, [boot+IO_DATA_LBA]
        call hex16
        mov si, t_drive
        call puts_both
        mov al, [boot+bpb.drive]
        call hex8
        call newline
        mov si, t_ssbp
        call puts_both
        mov ax, [got_ss]
        mov bx, [got_bp]
        call far_ptr
        mov si, t_sp
        call puts_both
        mov ax, [got_sp]
        call hex16
        mov si, t_stack
        call puts_both
        mov ax, [got_stack]
        call hex16
        call space
        mov ax, [got_stack+2]
        call hex16
        call space
        mov ax, [got_stack+6]
        mov bx, [got_stack+4]
        call far_ptr
        call newline
        mov si, t_int1e
        call puts_both
        mov ax, [vector+2]
        mov bx, [vector]
        call far_ptr
        mov si, t_dpt
        call puts_both
        mov al, [new_dpt+dpt.secs_per_track]
        call hex8
        mov si, t_settle
        call puts_both
        mov al, [new_dpt+dpt.head_settle]
        call hex8
        call newline

        ; What it should have been.
        mov al, [boot+bpb.fats]
        mov ah, 0
        mul word [boot+bpb.secs_per_fat]
        add ax, [boot+bpb.reserved_secs]
        adc dx, 0
        add ax, [boot+bpb.hidden_secs]
        adc dx, [boot+bpb.hidden_secs+2]
        mov [root_lba], ax
        mov cx, [boot+bpb.root_entries]
        add cx, 15
        shr cx, 4
        mov [root_secs], cx
        add ax, cx
        adc dx, 0
        mov [data_lba], ax
        mov [data_lba+2], dx

        mov si, f_entry
        cmp word [got_cs], IO_LOAD_SEG
        jne .entry_bad
        cmp word [got_ip], entry.here
        je .entry_ok
.entry_bad:
        call fault
.entry_ok:
        mov si, f_ssbp
        cmp word [got_ss], 0
        jne .ssbp_bad
        cmp word [got_bp], BOOT
        je .ssbp_ok
.ssbp_bad:
        call fault
.ssbp_ok:
        mov si, f_sp
        cmp word [got_sp], IO_ENTRY_SP
        je .sp_ok
        call fault
.sp_ok:
        mov si, f_stack
        cmp word [got_stack], 0x1E * 4
        jne .stack_bad
        cmp word [got_stack+2], 0
        je .stack_ok
.stack_bad:
        call fault
.stack_ok:
        ; The saved vector must name the table that was copied: the same 11
        ; bytes but for the two the boot sector sets.
        mov si, f_old_vector
        mov ax, [got_stack+6]
        mov bx, [got_stack+4]
        test ax, ax
        jnz .old_elsewhere
        cmp bx, DPT_COPY
        je .old_bad
.old_elsewhere:
        mov bx, 0
.old_byte:
        cmp bx, dpt.secs_per_track
        je .old_next
        cmp bx, dpt.head_settle
        je .old_next
        mov al, [old_dpt+bx]
        cmp al, [new_dpt+bx]
        jne .old_bad
.old_next:
        inc bx
        cmp bx, dpt_size
        jb .old_byte
        jmp .old_ok
.old_bad:
        call fault
.old_ok:
        mov si, f_int1e
        cmp word [vector], DPT_COPY
        jne .int1e_bad
        cmp word [vector+2], 0
        je .int1e_ok
.int1e_bad:
        call fault
.int1e_ok:
        mov si, f_dpt_spt
        mov al, [boot+bpb.secs_per_track]
        cmp [new_dpt+dpt.secs_per_track], al
        je .spt_ok
        call fault
.spt_ok:
        mov si, f_settle
        cmp byte [new_dpt+dpt.head_settle], 0x0F
        je .settle_ok
        call fault
.settle_ok:
        mov si, f_chs
        cmp byte [boot+bpb.jump+2], 0x90
        je .chs_ok
        call fault
.chs_ok:
        mov si, f_data_lba
        mov ax, [data_lba]
        cmp [boot+IO_DATA_LBA], ax
        jne .lba_bad
        mov ax, [data_lba+2]
        cmp [boot+IO_DATA_LBA+2], ax
        je .lba_ok
.lba_bad:
        call fault
.lba_ok:
        ; The drive byte must name the disk this boot sector came from.
        mov si, f_drive
        xor ax, ax
        mov bx, SECTOR_BUF
        call read_sector
        jc .drive_bad
        mov bx, 0
.drive_byte:
        cmp bx, bpb.drive
        je .drive_next
        mov al, [SECTOR_BUF+bx]
        cmp al, [boot+bx]
        jne .drive_bad
.drive_next:
        inc bx
        cmp bx, 512
        jb .drive_byte
        jmp .drive_ok
.drive_bad:
        call fault
.drive_ok:
        ; DI against the root folder, then the loaded sectors against the disk.
        call find_io
        mov si, f_no_io
        jc .cluster_bad
        mov [io_cluster], ax
        mov si, f_cluster
        cmp [got_di], ax
        je .cluster_ok
.cluster_bad:
        call fault
        jmp .image_done
.cluster_ok:
        mov si, f_image
        mov ax, [io_cluster]
        sub ax, FAT_FIRST_CLUSTER
        mov cl, [boot+bpb.sec_per_clus]
        mov ch, 0
        mul cx
        add ax, [data_lba]
        mov bx, IMAGE_BUF
        mov cx, IMAGE_BYTES / 512
.image_read:
        call read_sector
        jc .image_bad
        inc ax
        add bx, 512
        loop .image_read
        xor si, si
        mov di, IMAGE_BUF
        mov cx, IMAGE_BYTES / 2
        repe cmpsw
        mov si, f_image
        je .image_done
.image_bad:
        call fault
.image_done:

        cmp byte [faults], 0
        jne .verdict_done
        mov si, t_ok
        call puts_both
.verdict_done:
        mov si, t_import
        call puts_both
        jmp halt_forever

; SI = what is wrong: one "Hand-over: FAULT" line, counted. Changes AL and
; SI.
fault:  push si
        mov si, t_fault
        call puts_both
        pop si
        call puts_both
        inc byte [faults]
        jmp newline

; Returns CF clear and AX = the first cluster of IO.SYS (found anywhere in the
; root folder), or CF set when it is not there or cannot be read. Changes AX,
; BX, CX, SI and DI.
find_io:
        mov ax, [root_lba]
        mov cx, [root_secs]
.sector:
        mov bx, SECTOR_BUF
        call read_sector
        jc .fail
        mov di, bx
.entry: push cx
        push di
        mov si, io_name
        mov cx, FAT_NAME_LENGTH
        repe cmpsb
        pop di
        pop cx
        jne .skip
        test byte [di+fat_dirent.attr], FAT_ATTR_DIRECTORY | FAT_ATTR_VOLUME_ID
        jz .found               ; neither a folder nor the volume label
.skip:  add di, fat_dirent_size
        cmp di, SECTOR_BUF + 512
        jb .entry
        inc ax
        loop .sector
.fail:  stc
        ret
.found: mov ax, [di+fat_dirent.cluster]
        clc
        ret

; AX = LBA (a floppy's: below 65536), ES:BX = buffer. Reads one sector from
; the drive the BPB names, by CHS from the BPB's geometry; up to 5 tries with
; a disk reset between them. CF set on failure. Changes no register.
read_sector:
        pusha
        mov di, 5
.try:   pusha
        xor dx, dx
        div word [boot+bpb.secs_per_track]
        mov cx, dx
        inc cx                  ; CL = sector (1-based)
        xor dx, dx
        div word [boot+bpb.heads]
        mov ch, al              ; cylinder bits 0..7
        shl ah, 6
        or cl, ah               ; cylinder bits 8..9
        mov dh, dl              ; head
        mov dl, [boot+bpb.drive]
        mov ax, 0x0201
        int 0x13
        popa
        jnc .done
        pusha
        xor ax, ax
        mov dl, [boot+bpb.drive]
        int 0x13
        popa
        dec di
        jnz .try
        popa
        stc
        ret
.done:  popa
        clc
        ret

; A blank, to the screen and COM1. Keeps every register but AL.
space:  mov al, ' '
        jmp putc_both

; A line break, to the screen and COM1. Changes AL and SI.
newline:
        mov si, t_crlf
        jmp puts_both

%include "console.inc"
%include "hex.inc"

io_name:      db "IO      SYS"
t_banner:     db 13, 10, "Kiv boot disk: DOS system files are stand-ins, DOS cannot start", 13, 10, 0
t_label:      db "Volume label: ", 0
t_cluster:    db "IO.SYS cluster ", 0
t_data_lba:   db ", data LBA ", 0
t_drive:      db ", drive ", 0
t_ssbp:       db "SS:BP ", 0
t_sp:         db ", SP ", 0
t_stack:      db ", stack ", 0
t_int1e:      db "int 1Eh ", 0
t_dpt:        db ", diskette table: sectors per track ", 0
t_settle:     db ", head settle ", 0
t_fault:      db "Hand-over: FAULT ", 0
t_ok:         db "Hand-over: OK", 13, 10, 0
t_import:     db 13, 10, "To start DOS, remove the stand-ins in the program folder's dos/,", 13, 10
              db "run bootsmith: it imports the real files from the Windows 98 setup", 13, 10
              db "folder it asks for (README: Real DOS system files). Rebuild the disk.", 13, 10
t_crlf:       db 13, 10, 0

%if ($ - $$) > IMAGE_BYTES
%error "the stand-in IO.SYS must fit the 4 sectors the boot sector loads"
%endif
        times IMAGE_BYTES - ($ - $$) db 0

; ---- variables, behind the loaded image --------------------------------------
absolute IMAGE_BUF + IMAGE_BYTES
got_sp:     resw 1
got_ss:     resw 1
got_bp:     resw 1
got_di:     resw 1
got_cs:     resw 1
got_ip:     resw 1
got_stack:  resw 4
vector:     resw 2
old_dpt:    resb dpt_size
new_dpt:    resb dpt_size
faults:     resb 1
            alignb 2
root_lba:   resw 1
root_secs:  resw 1
data_lba:   resw 2
io_cluster: resw 1
            resb -IO_DATA_LBA   ; what the boot sector leaves below it
boot:       resb 512

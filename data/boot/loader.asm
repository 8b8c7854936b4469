; El Torito "no emulation" boot image of the Kiv Rescue CD (boot/loader.bin),
; the stage-0 loader that starts the CD's boot manager, isolinux.
;
; The BIOS loads the 4 virtual sectors named in the boot catalog (2048 bytes)
; to 0000:7C00 and jumps there with DL = the CD drive. That is the first half
; of this 4096-byte file; the first half reads the second (the password gate,
; its SHA-256 and the texts of the later steps) from the sector after its own,
; which the boot catalog names, to 0000:2000. The CD is mastered without a
; boot information table, so isolinux cannot be the boot image itself; this
; loader does what the mastering tool would have done:
;   1. moves itself to 0000:0600, out of the way of isolinux.bin;
;   2. asks for the boot password when the CD builder switched the gate on;
;   3. finds \boot\isolinux\isolinux.bin through the ISO 9660 directories,
;      loads all of it to 0000:7C00, fills in its 56-byte boot information
;      table at offset 8 (sector of the primary volume descriptor, sector of
;      the file, its length, the 32-bit sum of its dwords from byte 64 on);
;   4. jumps to 0000:7C00 with DL = the CD drive and ES:DI as the BIOS left
;      them.
;
; The same image also starts from a USB stick written with the hybrid ISO: the
; build puts the isohybrid MBR (isohdpfx.bin) in front of the ISO and points it
; at this file, so the stick passes the same password gate as the CD. That MBR
; loads our first 2048 bytes (four 512-byte disk sectors) to 0000:7C00, checks
; the hybrid signature at offset 40h and jumps to offset 44h with SS:SP =
; 0000:7BECh, where it has left (from the top of the stack): the EBIOS flag,
; sectors per track, heads, DX (DL = the disk), DI, ES and the 64-bit partition
; offset. From there this loader reads the ISO 9660 tree in 512-byte sectors
; (ISO sector N = disk sectors 4N..4N+3 after the offset) and hands isolinux
; over to its own hybrid entry at 7C44h with that stack untouched, which is
; what isolinux expects from the MBR directly. When the MBR found no extended
; reads for the disk (EBIOS flag 0, as on BIOSes of the late 1990s) the loader
; reads it like the MBR and isolinux do then: by cylinder, head and sector
; (int 13h AH=02h) with the geometry the MBR got from AH=08h.
;
; The loader, like isolinux, needs a 386 or later.
; Every text goes to the screen and to the serial console that main.cds
; chooses (COM1 as shipped, COM2, or none: the gate block in the first half
; carries the port, so it counts from the first text on); any failure says
; which file or step failed and halts.
        bits 16
        cpu 386
        org 0x0600

%include "iso9660_layout.inc"
%include "gate_layout.inc"

STAGE0     equ 0x0600           ; where this loader runs after the move
PART2      equ 0x2000           ; where its second half runs
PART2_TAG  equ 'KIV2'           ; the second half's first dword
IMAGE      equ 0x7C00           ; where the BIOS put it and isolinux must run
%define ISO_BUF 0x1000         ; directory sectors
%define SERIAL_PORT gate_serial
; isolinux.bin goes to IMAGE and up, in conventional memory below 0x90000
; (the extended BIOS data area may start at 0x9F000).
MAX_IMAGE  equ 0x90000 - IMAGE
HYBRID_SIGNATURE equ 0x7078C0FB ; in this file and in isolinux.bin ...
HYBRID_SIGNATURE_AT equ 0x40    ; ... at this offset
HYBRID_ENTRY     equ 0x44
HYBRID_SP        equ 0x7BEC     ; the MBR's stack frame, handed on unchanged
MBR_FRAME_EBIOS  equ HYBRID_SP      ; 0: no extended reads for the disk
MBR_FRAME_CHS    equ HYBRID_SP + 2  ; sectors per track, then heads
MBR_FRAME_DX     equ HYBRID_SP + 6
MBR_FRAME_OFFSET equ HYBRID_SP + 12

        jmp near entry
; Texts that fit in front of the hybrid signature.
isolinux_path:  db "boot\isolinux\isolinux.bin", 0
msg_banner:     db 13, 10, "Kiv Rescue CD loader", 13, 10, 0
        times HYBRID_SIGNATURE_AT - ($ - $$) db 0
        dd HYBRID_SIGNATURE
%if $ - $$ != HYBRID_ENTRY
%error "the hybrid entry must be at offset 44h"
%endif

; Entry from the hybrid MBR of a USB stick (still at 0000:7C44).
hybrid_entry:
        cli
        xor ax, ax
        mov ss, ax
        mov sp, HYBRID_SP
        mov ds, ax
        mov es, ax
        mov si, IMAGE
        mov di, STAGE0
        mov cx, 2048 / 2
        cld
        rep movsw
        jmp 0x0000:.moved
.moved: sti
        mov byte [iso_disk_shift], 2
        cmp word [MBR_FRAME_EBIOS], 0
        jne .ebios
        mov eax, [MBR_FRAME_CHS]
        mov [iso_chs_sectors], eax      ; and the heads
.ebios: mov eax, [MBR_FRAME_OFFSET]
        mov [iso_disk_offset], eax
        mov eax, [MBR_FRAME_OFFSET + 4]
        mov [iso_disk_offset + 4], eax
        mov dl, [MBR_FRAME_DX]
        jmp started

entry:  cli
        xor ax, ax
        mov ss, ax
        mov sp, IMAGE
        push es                 ; ES:DI are handed on to isolinux
        push di
        mov ds, ax
        mov es, ax
        mov si, IMAGE           ; position-independent until the far jump
        mov di, STAGE0
        mov cx, 2048 / 2
        cld
        rep movsw
        jmp 0x0000:moved

moved:  pop word [entry_di]
        pop word [entry_es]
        sti
started:
        mov [iso_drive], dl
        call serial_init
        mov si, msg_banner
        call puts_both
        call load_part2

        call password_gate

        call iso_open
        mov si, msg_no_pvd
        jc fatal
        mov si, isolinux_path
        call iso_find_path
        jc not_found

        cmp ecx, BOOT_INFO_END + 4      ; the table and a dword to sum
        mov si, msg_too_small
        jb fatal_file
        cmp ecx, MAX_IMAGE
        mov si, msg_too_large
        ja fatal_file
        mov [file_lba], eax
        mov [file_size], ecx
        mov si, msg_starting
        call puts_both
        call put_path
        mov si, msg_open_paren
        call puts_both
        mov eax, ecx
        call put_dec
        mov si, msg_bytes
        call puts_both

        ; Load all of the file, up to ISO_MAX_RUN sectors a call.
        mov eax, [file_lba]
        mov edx, [file_size]
        add edx, ISO_SECTOR - 1
        shr edx, 11             ; sectors
        mov bx, IMAGE >> 4
.load:  mov cx, ISO_MAX_RUN
        cmp dx, cx
        jae .run
        mov cx, dx
.run:   call iso_read_run
        sub dx, cx
        movzx ecx, cx
        add eax, ecx
        shl cx, 7               ; ISO_SECTOR >> 4 paragraphs a sector
        add bx, cx
        test dx, dx
        jnz .load

        ; From a stick, isolinux is shown the stick's own view of the tree when
        ; the build wrote one: a second primary volume descriptor whose
        ; directories lead to the stick's boot menu (entries that need the CD
        ; are greyed there). Anything but a volume descriptor at that sector
        ; leaves the CD's view.
        mov eax, [iso_pvd_lba]
        cmp byte [iso_disk_shift], 0
        je .pvd_chosen
        mov ecx, [usb_view_lba]
        test ecx, ecx
        jz .pvd_chosen
        push eax
        mov eax, ecx
        mov bx, ISO_BUF >> 4
        call iso_read
        pop eax
        cmp dword [ISO_BUF + iso_vd.type], ISO_VD_PRIMARY | 'CD0' << 8
        jne .pvd_chosen                 ; type and "CD001"
        cmp word [ISO_BUF + iso_vd.id + 3], '01'
        jne .pvd_chosen
        mov eax, ecx
.pvd_chosen:
        mov [table_pvd], eax

        ; The bytes after the file up to the next dword count as zero.
        mov eax, [file_size]
        add eax, IMAGE
        mov ebx, eax
        shr ebx, 4
        mov es, bx
        and ax, 0x0F
        mov di, ax
        mov dword [es:di], 0

        ; Sum of the dwords from the table's end to the file's end.
        mov ecx, [file_size]
        sub ecx, BOOT_INFO_END - 3
        shr ecx, 2
        xor edx, edx
        mov bx, IMAGE >> 4
        mov si, BOOT_INFO_END
.sum:   mov es, bx
        add edx, [es:si]
        add si, 4
        cmp si, 0x8000
        jb .same_segment
        sub si, 0x8000
        add bx, 0x8000 >> 4
.same_segment:
        dec ecx
        jnz .sum

        ; The boot information table, its fields in order.
        xor ax, ax
        mov es, ax
        mov di, IMAGE + boot_info.pvd_lba
        mov eax, [table_pvd]
        stosd
        mov eax, [file_lba]             ; boot_info.file_lba
        stosd
        mov eax, [file_size]            ; boot_info.file_length
        stosd
        mov eax, edx                    ; boot_info.checksum
        stosd
        xor eax, eax                    ; boot_info.reserved
        mov cx, (BOOT_INFO_END - boot_info.reserved) / 4
        rep stosd

        mov dl, [iso_drive]
        cmp byte [iso_disk_shift], 0
        jne .hybrid
        les di, [entry_di]
        jmp 0x0000:IMAGE
        ; From a stick: isolinux's own hybrid entry, with the MBR's frame.
.hybrid:
        cmp dword [IMAGE + HYBRID_SIGNATURE_AT], HYBRID_SIGNATURE
        mov si, msg_no_hybrid
        jne fatal_file
        cli
        mov sp, HYBRID_SP
        jmp 0x0000:IMAGE + HYBRID_ENTRY

; SI points just past the name that is missing in isolinux_path. Halts.
not_found:
        mov byte [si], 0
        mov si, msg_not_found
        call puts_both
        call put_path
        jmp fatal.halted

; SI = what is wrong with isolinux.bin. Halts.
fatal_file:
        push si
        mov si, msg_newline
        call puts_both
        call put_path
        pop si
        ; fall through

; SI = message; halts.
fatal:  call puts_both
.halted:
        mov si, msg_halted
        call puts_both
        jmp halt_forever

; Prints "\" and isolinux_path (as far as its terminating zero). Changes AL
; and SI.
put_path:
        mov al, '\'
        call putc_both
        mov si, isolinux_path
        jmp puts_both

; Reads the second half of this file to PART2: the boot record volume
; descriptor names the boot catalog, whose initial entry names this file; the
; second half is its next sector. Changes EAX, BX and SI; halts with a
; message when the second half is not there (or a sector cannot be read).
load_part2:
        mov eax, ELTORITO_BRVD_LBA
        mov bx, ISO_BUF >> 4
        call iso_read
        cmp dword [ISO_BUF + eltorito_brvd.system_id], 'EL T'
        jne .missing                    ; not "EL TORITO ..."
        mov eax, [ISO_BUF + eltorito_brvd.catalog_lba]
        call iso_read
        mov eax, [ISO_BUF + eltorito_catalog.load_lba]
        inc eax
        mov bx, PART2 >> 4
        call iso_read
        cmp dword [PART2], PART2_TAG
        je .done
.missing:
        mov si, msg_no_part2
        jmp fatal
.done:  ret

%define ISO_DISK_READS
%include "console.inc"
%include "number.inc"
%include "iso9660.inc"

msg_no_part2:   db "The second half of the loader is missing", 0
entry_di:       dw 0            ; ES:DI at entry, in the order les expects
entry_es:       dw 0
msg_halted      equ iso_msg_halted  ; "; the system is halted."

; The password gate block. The CD builder finds it by its tag in the tree's
; copy of this file and fills it in; as shipped no password is asked, three
; tries, and the serial console is COM1. It lies in the first half, which
; needs the port before the second is read; the second half's password gate
; reads the rest. What each field holds, where and in how many bytes, is the
; table in cdtool/bootmenu/gate_layout.h, which the build writes out as
; gate_layout.inc; the checks below hold this block to it.
        align GATE_ALIGN, db 0
gate:
gate_tag:      db GATE_MAGIC
gate_ask:      db 0
gate_retries:  db 3
gate_serial:   dw COM1
gate_salt:     times GATE_SALT_SIZE db 0
gate_hash:     times GATE_HASH_SIZE db 0
gate_prompt:   times GATE_PROMPT_SIZE db 0
gate_end:
; gate_field label, NAME, next label: the field at `label` starts at GATE_NAME
; in the block and runs GATE_NAME_SIZE bytes, up to the next field.
%macro gate_field 3
%if %1 - gate != GATE_%{2} || %3 - %1 != GATE_%{2}_SIZE
%error gate field %2 is not where gate_layout.inc puts it
%endif
%endmacro
        gate_field gate_tag, TAG, gate_ask
        gate_field gate_ask, ASK, gate_retries
        gate_field gate_retries, RETRIES, gate_serial
        gate_field gate_serial, SERIAL, gate_salt
        gate_field gate_salt, SALT, gate_hash
        gate_field gate_hash, HASH, gate_prompt
        gate_field gate_prompt, PROMPT, gate_end
%if gate_end - gate != GATE_SIZE
%error "the gate block is not as long as gate_layout.inc says"
%endif

; The stick's view of the tree. The build that makes the ISO bootable from a
; USB stick writes here the sector of the view's primary volume descriptor;
; 0 (as shipped) means the stick sees the tree as the CD does.
;   +0 "KIVUSBV1"  +8 sector (ISO 9660 sector number, little-endian)
usb_view:
usb_view_tag:   db "KIVUSBV1"
usb_view_lba:   dd 0

%if $ - $$ > 2048
%error "the loader's first half is larger than the 2048 bytes the BIOS loads"
%endif
        times 2048 - ($ - $$) db 0

; The second half, read by load_part2 before anything in it runs.
        section part2 follows=.text vstart=PART2
        dd PART2_TAG

%include "password_gate.inc"

msg_no_hybrid:  db ": no entry for disks", 0
msg_starting:   db "Starting ", 0
msg_open_paren: db " (", 0
msg_bytes:      db " bytes)", 13, 10, 0
msg_newline:    db 13, 10, 0
msg_no_pvd:     db "No ISO 9660 primary volume descriptor on the CD", 0
msg_not_found:  db "Not found on the CD: ", 0
msg_too_small:  db ": too small for a boot file", 0
msg_too_large:  db ": too large to load below 576 KiB", 0

file_lba:   dd 0
file_size:  dd 0
table_pvd:  dd 0                ; the volume descriptor isolinux is told of

%if $ - $$ > 2048
%error "the loader's second half is larger than 2048 bytes"
%endif
        times 2048 - ($ - $$) db 0

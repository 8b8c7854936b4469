; A floppy boot sector that stands in for an older or odder BIOS: it hooks
; int 13h so that some disk services fail, then starts the hard disk's MBR or
; the CD's El Torito boot image as the BIOS would have. The boot checks start
; QEMU from this floppy with the CD or the hybrid ISO attached. One variant a
; build (nasm -D...):
;   NO_DISK_EXT      drive 80h has no extensions: AH=41h, 42h and 48h fail,
;                    as on BIOSes of the late 1990s; starts the disk's MBR
;   NO_DISK_READS    as NO_DISK_EXT, and after the MBR's own four reads every
;                    read of drive 80h fails; starts the disk's MBR
;   NO_CD_CHECK      the CD drive does not answer the extensions check
;                    (AH=41h) but reads with AH=42h; starts the CD
;   NO_CD_READS      once the CD's boot image is loaded, every read of the
;                    CD fails; starts the CD
; A failed call returns CF set and AH = 01h; every other call goes to the
; BIOS. The hook lives in the top KiB of conventional memory, which it takes
; from the BIOS's count at 0:0413h, where programs started later leave it.
        bits 16
        cpu 386
        org 0x0600

%include "iso9660_layout.inc"

BUF     equ 0x1000              ; CD sectors read on the way
DISK    equ 0x80

%ifdef NO_DISK_READS
%define NO_DISK_EXT
%endif
%ifdef NO_DISK_EXT
%define STARTS_DISK
%elifdef NO_CD_CHECK
%elifdef NO_CD_READS
%else
%error "define NO_DISK_EXT, NO_DISK_READS, NO_CD_CHECK or NO_CD_READS"
%endif

        cli
        xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        mov si, 0x7C00          ; out of the way of what is started at 7C00
        mov di, 0x0600
        mov cx, 256
        cld
        rep movsw
        jmp 0x0000:start
start:  sti
        mov si, banner
        call print

%ifdef STARTS_DISK
        mov dl, DISK
        call install
        mov ax, 0x0201          ; cylinder 0, head 0, sector 1
        mov cx, 0x0001
        xor dh, dh
        mov dl, DISK
        mov bx, 0x7C00
        int 0x13
        mov si, msg_failed
        jc fail
        cmp word [0x7DFE], 0xAA55
        jne fail
        mov dl, DISK
        jmp 0x0000:0x7C00
%else
        ; The CD drive: the first from E0h on whose sector 17 is an El
        ; Torito boot record.
        mov dl, 0xE0
.drive: mov eax, ELTORITO_BRVD_LBA
        call read_cd
        jc .next
        cmp dword [BUF + eltorito_brvd.system_id], 'EL T'
        je .found
.next:  inc dl
        jnz .drive
        mov si, msg_no_cd
        jmp fail
.found: mov eax, [BUF + eltorito_brvd.catalog_lba]
        call read_cd
        mov si, msg_failed
        jc fail
        ; the initial entry's image: its first sector holds the 4 virtual
        ; sectors the BIOS would load
        mov eax, [BUF + eltorito_catalog.load_lba]
        mov word [dap.segment], 0x07C0
        call read_cd
        jc fail
        call install
        jmp 0x0000:0x7C00
%endif

; EAX = CD sector, DL = drive: one 2048-byte sector to [dap.segment]:0.
read_cd:
        mov [dap.lba], eax
        mov si, dap
        mov ah, 0x42
        int 0x13
        ret

; Takes the top KiB of conventional memory for the hook of drive DL and
; points int 13h at it.
install:
        dec word [0x413]
        mov ax, [0x413]
        shl ax, 6               ; KiB -> paragraphs
        mov es, ax
        mov si, section.hook.start
        xor di, di
        mov cx, hook_size
        rep movsb
        mov eax, [0x13 * 4]
        mov [es:hook_old], eax
        mov [es:hook_drive], dl
        cli
        mov word [0x13 * 4], hook
        mov [0x13 * 4 + 2], es
        sti
        xor ax, ax
        mov es, ax
        ret

fail:   call print
        jmp halt

%include "serial_print.inc"

banner: db 13, 10, "BIOS shim: "
%ifdef NO_DISK_READS
        db "no reads of drive 80h after the MBR's"
%elifdef NO_DISK_EXT
        db "no int 13h extensions for drive 80h"
%elifdef NO_CD_CHECK
        db "the CD drive does not answer AH=41h"
%else
        db "no reads of the CD after its boot image"
%endif
        db 13, 10, 0
msg_failed: db "BIOS shim: cannot read the boot sector", 13, 10, 0
%ifndef STARTS_DISK
msg_no_cd:  db "BIOS shim: no El Torito CD", 13, 10, 0
%endif

dap:    db 16, 0
        dw 1                    ; one 2048-byte sector
        dw 0
.segment: dw BUF >> 4
.lba:   dq 0

; The hook, copied to the top of conventional memory and run there (CS = its
; segment, offsets from 0).
        section hook follows=.text align=1 vstart=0
hook:   cmp dl, [cs:hook_drive]
        jne .bios
%ifdef NO_DISK_EXT
        cmp ah, 0x41
        je .fail
        cmp ah, 0x42
        je .fail
        cmp ah, 0x48
        je .fail
%endif
%ifdef NO_DISK_READS
        cmp ah, 0x02
        jne .bios
        cmp byte [cs:hook_reads], 0
        je .fail
        dec byte [cs:hook_reads]
%endif
%ifdef NO_CD_CHECK
        cmp ah, 0x41
        je .fail
%endif
%ifdef NO_CD_READS
        cmp ah, 0x42
        je .fail
%endif
.bios:  jmp far [cs:hook_old]
.fail:  push bp                 ; CF set in the caller's flags
        mov bp, sp
        or byte [bp + 6], 1
        pop bp
        mov ah, 0x01            ; invalid function
        iret
hook_old:   dd 0
hook_drive: db 0
%ifdef NO_DISK_READS
hook_reads: db 1 + 4            ; this shim's read of the MBR, then the MBR's
%endif
hook_size equ $ - hook

        section .text
%if ($ - $$) + hook_size > 510
%error "the shim does not fit in the boot sector"
%endif
        times 510 - ($ - $$) - hook_size db 0
        section hook
        dw 0xAA55

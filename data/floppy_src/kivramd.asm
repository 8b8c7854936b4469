; KIVRAMD label: finds the drive whose volume label is `label` and answers
; with its number as the exit code (3 = C: ... 26 = Z:), 0 when there is none.
; The kernel module of the boot floppy runs it as KIVRAMD MS-RAMDRIVE to learn
; the letter of the RAM drive that RAMDRIVE.SYS made in CONFIG.SYS: that
; letter depends on the hard disks of the machine.
;
; The drives C: to Z: are looked at in turn with DOS's find-first for the
; volume label. A drive that is not ready or not formatted makes DOS call the
; critical-error handler, which here answers Fail: the search goes on, and no
; "Abort, Retry, Fail?" stops the start-up. Blanks and dots are left out on
; both sides of the comparison (DOS shows an 11-letter label as 8.3).
        cpu 8086
        org 100h

start:
        mov dx, fail_critical
        mov ax, 2524h                   ; DOS restores INT 24h when we end
        int 21h

        ; the label wanted, from the command tail
        mov si, 81h
        mov di, wanted
        mov cl, [80h]
        xor ch, ch
.arg:   jcxz .arg_end
        lodsb
        dec cx
        call fold
        jz .arg
        cmp di, wanted + 11
        jae .arg
        stosb
        jmp .arg
.arg_end:
        mov byte [di], 0
        cmp di, wanted
        je none

        mov dx, dta
        mov ah, 1Ah
        int 21h

.drive: mov dx, pattern
        mov cx, 08h                     ; the volume label only
        mov ah, 4Eh
        int 21h
        jc .next
        test byte [dta + 15h], 08h
        jz .next
        mov si, dta + 1Eh
        mov di, wanted
.cmp:   lodsb
        call fold
        jz .cmp
        cmp al, [di]
        jne .next
        inc di
        or al, al
        jnz .cmp
        mov al, [pattern]               ; found: the drive's number
        sub al, 'A' - 1
        mov ah, 4Ch
        int 21h

.next:  inc byte [pattern]
        cmp byte [pattern], 'Z'
        jbe .drive
none:   mov ax, 4C00h
        int 21h

; AL in upper case; ZF set when AL is a blank, a tab or a dot (left out).
; The carriage return that ends the command tail counts as its end (0).
fold:   cmp al, 13
        jne .lower
        xor al, al
.lower: cmp al, 'a'
        jb .skip
        cmp al, 'z'
        ja .skip
        sub al, 'a' - 'A'
.skip:  cmp al, ' '
        je .done
        cmp al, 9
        je .done
        cmp al, '.'
.done:  ret

fail_critical:
        mov al, 3
        iret

pattern db 'C:\*.*', 0
wanted  times 12 db 0
dta     times 64 db 0

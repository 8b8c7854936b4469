; The stand-in for a DOS file that the imported DOS has no equivalent of
; (FreeDOS has no EXTRACT.EXE, for instance). One file serves every name:
;   - run as a program, it says that the file is not part of this DOS and
;     ends with exit code 1;
;   - loaded by DEVICE= in CONFIG.SYS (HIMEM.SYS, EMM386.EXE), it is a valid
;     device driver that says the same at INIT and keeps nothing resident, so
;     the start-up goes on: DOS drops a driver whose end address is its start.
; It is an MZ executable whose load image begins with the device header: DOS
; loads both kinds of driver that way (as HIMEMX.EXE and JEMM386.EXE are).
; The import writes the file's name over the twelve '?' (blank padded, at the
; end of the line where the blanks do not show); the
; marker text lies within the first 512 bytes, where the builder looks for it.
        cpu 8086

section mz start=0
        db 'MZ'
        dw (mz_size + image_size) % 512          ; bytes in the last page
        dw (mz_size + image_size + 511) / 512    ; pages in the file
        dw 0                                    ; no relocations
        dw mz_size / 16                         ; header paragraphs
        dw (stack_top - image_end + 15) / 16    ; memory needed beyond the image
        dw 0FFFFh
        dw 0                                    ; SS (relative to the image)
        dw stack_top                            ; SP
        dw 0                                    ; checksum
        dw program                              ; IP
        dw 0                                    ; CS
        dw 1Ch                                  ; relocation table offset
        dw 0                                    ; overlay
        times 32 - ($ - $$) db 0
mz_size equ 32

section image follows=mz vstart=0
header: dd 0FFFFFFFFh                           ; no next driver
        dw 8000h                                ; character device
        dw strategy
        dw interrupt
        db 'KIVNONE$'
message:
        db 13, 10, 'KIV STAND-IN FILE - not part of this DOS (FreeDOS): '
name:   db '????????.???'
        db 13, 10, '$'

request: dd 0

strategy:
        mov [cs:request], bx
        mov [cs:request + 2], es
        retf

interrupt:
        push ax
        push bx
        push dx
        push ds
        push es
        les bx, [cs:request]
        cmp byte [es:bx + 2], 0                 ; INIT
        jne .done
        push cs
        pop ds
        mov dx, message
        mov ah, 9
        int 21h
        mov word [es:bx + 14], 0                ; end address = start: nothing stays
        mov [es:bx + 16], cs
.done:  mov word [es:bx + 3], 0100h             ; done, no error
        pop es
        pop ds
        pop dx
        pop bx
        pop ax
        retf

program:
        push cs
        pop ds
        mov dx, message
        mov ah, 9
        int 21h
        mov ax, 4C01h
        int 21h

image_end:
stack_top equ image_end + 256
image_size equ image_end - header

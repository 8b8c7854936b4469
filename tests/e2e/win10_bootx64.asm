; A stand-in for the bootx64.efi of a Windows 10/11 setup medium, for the
; tests of the CD's Windows 10/11 Setup entry in the UEFI menu: a minimal,
; unsigned PE32+ EFI application that writes a line through the firmware's
; console (which OVMF copies to COM1) and stays there, as a boot manager
; that never returns would. Position-independent, so it needs no relocations.
        bits 64
        default rel

%define FILE_ALIGN 0x200
%define SECTION_ALIGN 0x1000
%define IMAGE_BASE 0x400000

; --- DOS header: "MZ" and where the PE header is
        db "MZ"
        times 0x3C - ($ - $$) db 0
        dd pe - $$

; --- PE header
pe:     db "PE", 0, 0
        dw 0x8664                       ; x86-64
        dw 1                            ; one section
        dd 0, 0, 0
        dw optional_end - optional      ; size of the optional header
        dw 0x0206                       ; executable, no line numbers or debug data
optional:
        dw 0x020B                       ; PE32+
        db 0, 0
        dd code_end - code              ; size of code
        dd 0, 0
        dd SECTION_ALIGN                ; entry point
        dd SECTION_ALIGN                ; base of code
        dq IMAGE_BASE
        dd SECTION_ALIGN, FILE_ALIGN
        dw 0, 0, 0, 0, 0, 0
        dd 0
        dd 2 * SECTION_ALIGN            ; size of the image
        dd FILE_ALIGN                   ; size of the headers
        dd 0                            ; checksum
        dw 10                           ; EFI application
        dw 0
        dq 0, 0, 0, 0
        dd 0
        dd 16                           ; data directories
        times 16 dq 0
optional_end:
; --- the one section
        db ".text", 0, 0, 0
        dd code_end - code              ; virtual size
        dd SECTION_ALIGN                ; its address
        dd FILE_ALIGN                   ; raw size
        dd FILE_ALIGN                   ; raw data in the file
        dd 0, 0
        dw 0, 0
        dd 0x60000020                   ; code, executable, readable
        times FILE_ALIGN - ($ - $$) db 0

; --- efi_main(ImageHandle = RCX, SystemTable = RDX)
code:
        sub rsp, 40                     ; shadow space, stack aligned
        mov rcx, [rdx + 64]             ; SystemTable->ConOut
        lea rdx, [rel message]
        call [rcx + 8]                  ; ConOut->OutputString(ConOut, message)
.halt:  hlt
        jmp .halt
message:
        dw __utf16__("Stand-in bootx64.efi: started by the CD's UEFI menu"), 13, 10, 0
code_end:
        times 2 * FILE_ALIGN - ($ - $$) db 0

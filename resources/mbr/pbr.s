# The FAT16 boot sector of a SonDesk card (the second 512 bytes of MBRPBR.DAT).
#
# The format fills in every field of the parameter block that describes the card (OEM name,
# sizes, geometry, label); what it keeps from here is the jump, the media byte, the reserved byte,
# the file system type "FAT16   ", the boot program and the signature. The boot program only
# tells a PC started from the card that there is no operating system on it.
#
# Assembled by the build: as --32, then ld -Ttext 0x7c00 --oformat binary.

        .code16
        .text
        .globl  _start
_start:
        .byte   0xeb, 0x3c, 0x90        # jump over the parameter block to offset 62
        .ascii  "SONDESK "              # OemName
        .word   512                     # BytesPerSec
        .byte   0                       # SecPerClust
        .word   1                       # ResSectors
        .byte   2                       # FATs
        .word   128                     # RootDirEnts
        .word   0                       # Sectors
        .byte   0xf8                    # Media: a fixed disk
        .word   0                       # FATsecs
        .word   0                       # SecPerTrack
        .word   0                       # Heads
        .long   0                       # HiddenSecs
        .long   0                       # HugeSectors
        .byte   0x80                    # DriveNumber
        .byte   0                       # reserved
        .byte   0                       # BootSignature
        .long   0                       # VolumeID
        .ascii  "NO NAME    "           # VolumeLabel
        .ascii  "FAT16   "              # FileSysType

boot:                                   # offset 62
        cli
        xorw    %ax, %ax
        movw    %ax, %ss
        movw    $0x7c00, %sp
        movw    %ax, %ds
        sti
        cld
        movw    $message, %si
print:
        lodsb
        testb   %al, %al
        jz      wait_key
        movb    $0x0e, %ah              # teletype output
        movw    $0x0007, %bx
        int     $0x10
        jmp     print
wait_key:
        xorb    %ah, %ah                # wait for a key
        int     $0x16
        int     $0x19                   # and let the BIOS try the next boot device
halt:
        hlt
        jmp     halt

message:
        .ascii  "\r\nThis card holds no operating system:\r\n"
        .ascii  "it carries the songs of a SONVAR karaoke player.\r\n"
        .asciz  "Remove it and press a key to start again.\r\n"

        .org    510
        .byte   0x55, 0xaa

# The master boot record of a SonDesk card (the first 512 bytes of MBRPBR.DAT).
#
# A plain partition-table boot loader: it moves itself out of the way to 0x0600, looks for the
# active entry of the partition table, loads that partition's first sector to 0x7C00 (through
# the BIOS's LBA extensions when it has them, else by the entry's CHS address) and starts it with
# DL = the boot drive and DS:SI = the entry, as boot sectors expect. The format writes the
# partition entry itself; a card it made has no active partition, so a PC that tries to start
# from it says so and stops.
#
# Assembled by the build: as --32, then ld -Ttext 0x600 --oformat binary.

        .code16
        .text
        .globl  _start
_start:
        cli
        xorw    %ax, %ax
        movw    %ax, %ss
        movw    $0x7c00, %sp
        movw    %ax, %ds
        movw    %ax, %es
        sti
        cld
        # The partition's boot sector must be loaded where this code now runs.
        movw    $0x7c00, %si
        movw    $0x0600, %di
        movw    $256, %cx
        rep movsw
        ljmp    $0, $relocated

relocated:
        movb    %dl, drive
        movw    $table, %si
        movw    $4, %cx
find_active:
        cmpb    $0x80, (%si)
        je      found
        addw    $16, %si
        loop    find_active
        movw    $msg_no_active, %si
        jmp     fail

found:
        movw    %si, %bp
        movb    $0x41, %ah              # are the LBA extensions there?
        movw    $0x55aa, %bx
        movb    drive, %dl
        int     $0x13
        jc      by_chs
        cmpw    $0xaa55, %bx
        jne     by_chs
        testb   $1, %cl
        jz      by_chs
        movl    8(%bp), %eax            # the partition's first LBA
        movl    %eax, dap_lba
        movw    $dap, %si
        movb    $0x42, %ah
        movb    drive, %dl
        int     $0x13
        jc      io_error
        jmp     loaded
by_chs:
        movb    1(%bp), %dh             # start head
        movw    2(%bp), %cx             # start sector, cylinder
        movb    drive, %dl
        movw    $0x7c00, %bx
        movw    $0x0201, %ax            # read one sector
        int     $0x13
        jc      io_error
loaded:
        cmpw    $0xaa55, 0x7dfe
        jne     no_system
        movw    %bp, %si
        movb    drive, %dl
        ljmp    $0, $0x7c00

io_error:
        movw    $msg_io_error, %si
        jmp     fail
no_system:
        movw    $msg_no_system, %si
fail:
        lodsb
        testb   %al, %al
        jz      halt
        movb    $0x0e, %ah              # teletype output
        movw    $0x0007, %bx
        int     $0x10
        jmp     fail
halt:
        hlt
        jmp     halt

drive:
        .byte   0
dap:                                    # disk address packet of the LBA read
        .byte   16, 0
        .word   1                       # one sector
        .word   0x7c00, 0               # to 0000:7C00
dap_lba:
        .long   0, 0

msg_no_active:
        .asciz  "No active partition on this card.\r\n"
msg_io_error:
        .asciz  "Error loading the boot sector.\r\n"
msg_no_system:
        .asciz  "Missing operating system.\r\n"

        .org    440
        .long   0                       # disk signature
        .word   0
table:                                  # four partition entries, written by the format
        .fill   64, 1, 0
        .byte   0x55, 0xaa

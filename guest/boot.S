/* The floppy's boot sector: the BIOS loads it at 0000:7C00 and jumps to it.
 * It loads the rest of the guest behind it, one sector at a time through
 * INT 13h, clears the guest's zeroed data and calls GuestMain in real mode,
 * with every segment 0 and the stack below the boot sector. */
    .code16
    .section .boot, "ax"
    .global boot_start
boot_start:
    cli
    xorw %ax, %ax
    movw %ax, %ds
    movw %ax, %es
    movw %ax, %ss
    /* The compiled code addresses through 32-bit registers: no high bits. */
    movl $0x7c00, %esp
    ljmp $0, $normalized
normalized:
    sti
    cld

    /* DL holds the boot drive. Sector 2 on, cylinder 0, head 0, to 0000:7E00;
     * a 1.44 MB floppy has 18 sectors a track and two heads. */
    movw $0x7e00, %bx
    movw $0x0002, %cx
    xorb %dh, %dh
    movw $guest_sectors, %si
load_next:
    movw $0x0201, %ax
    int $0x13
    jc load_failed
    addw $512, %bx
    incb %cl
    cmpb $19, %cl
    jb loaded_one
    movb $1, %cl
    incb %dh
    cmpb $2, %dh
    jb loaded_one
    xorb %dh, %dh
    incb %ch
loaded_one:
    decw %si
    jnz load_next

    movw $guest_bss_start, %di
    movw $guest_bss_end, %cx
    subw %di, %cx
    xorb %al, %al
    rep stosb
    calll GuestMain
    jmp halt

load_failed:
    /* QEMU's isa-debug-exit ends the run with status 5. */
    movb $2, %al
    outb %al, $0xf4
halt:
    cli
    hlt
    jmp halt

    .org 510
    .word 0xaa55

    .section .note.GNU-stack, "", @progbits

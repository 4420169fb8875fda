@ Cartridge header and start-up: the first bytes of the image.
@
@ The logo area stays zero because the builder never patches the image; the header complement
@ is computed here from the header bytes so that the header check passes.

    .syntax unified
    .section .crt0, "ax", %progbits
    .arm
    .global _start
_start:
    b       Reset                       @ 0x00: byte 3 is 0xEA, an ARM branch
    .fill   156, 1, 0                   @ 0x04..0x9F: logo area, zero

    .equ    kTitle0, 'R'
    .equ    kTitle1, 'I'
    .equ    kTitle2, 'X'
    .equ    kFixed, 0x96
    .byte   kTitle0, kTitle1, kTitle2   @ 0xA0: game title, zero-filled to 12 bytes
    .fill   9, 1, 0
    .fill   4, 1, 0                     @ 0xAC: game code
    .fill   2, 1, 0                     @ 0xB0: maker code
    .byte   kFixed                      @ 0xB2: fixed value
    .byte   0                           @ 0xB3: main unit code
    .byte   0                           @ 0xB4: device type
    .fill   7, 1, 0                     @ 0xB5: reserved
    .byte   0                           @ 0xBC: software version
    @ 0xBD: complement: the bytes 0xA0..0xBD plus 0x19 sum to zero (mod 256).
    .byte   (-(kTitle0 + kTitle1 + kTitle2 + kFixed) - 0x19) & 0xFF
    .fill   2, 1, 0                     @ 0xBE: reserved

Reset:                                  @ 0xC0
    @ Faster ROM access before anything else runs from it (see kWaitcntFastRom).
    ldr     r0, =0x04000204
    ldr     r1, =0x4317
    strh    r1, [r0]

    @ Stacks for IRQ, supervisor and system mode; interrupts stay masked until main enables them.
    mov     r0, #0xD2                   @ IRQ mode, IRQ and FIQ masked
    msr     cpsr_c, r0
    ldr     sp, =__sp_irq
    mov     r0, #0xD3                   @ supervisor mode
    msr     cpsr_c, r0
    ldr     sp, =__sp_svc
    mov     r0, #0x1F                   @ system mode, interrupts allowed by the CPU
    msr     cpsr_c, r0
    ldr     sp, =__sp_usr

    ldr     r0, =__iwram_lma            @ IWRAM code and data from their load image
    ldr     r1, =__iwram_start
    ldr     r2, =__iwram_end
1:  cmp     r1, r2
    ldrlo   r3, [r0], #4
    strlo   r3, [r1], #4
    blo     1b

    ldr     r0, =__load_start_iwram_game @ the game's IWRAM set (the menu loads its own)
    ldr     r1, =__iwram_overlay
    ldr     r2, =__load_stop_iwram_game
7:  cmp     r0, r2
    ldrlo   r3, [r0], #4
    strlo   r3, [r1], #4
    blo     7b
    mov     r3, #0
    ldr     r1, =__bss_start
    ldr     r2, =__bss_end
2:  cmp     r1, r2
    strlo   r3, [r1], #4
    blo     2b
    ldr     r1, =__ewram_bss_start
    ldr     r2, =__ewram_bss_end
3:  cmp     r1, r2
    strlo   r3, [r1], #4
    blo     3b

    ldr     r4, =__init_array_start     @ static constructors, should any appear
    ldr     r5, =__init_array_end
4:  cmp     r4, r5
    bhs     5f
    ldr     r0, [r4], #4
    mov     lr, pc
    bx      r0
    b       4b
5:
    ldr     r0, =IrqHandler             @ the BIOS calls the word at 0x03007FFC on each IRQ
    ldr     r1, =0x03007FFC
    str     r0, [r1]

    ldr     r0, =main
    mov     lr, pc
    bx      r0
6:  b       6b                          @ main never returns
    .ltorg

@ Interrupt handler, called by the BIOS in IRQ mode. Acknowledges what was raised, both in IF
@ and in the BIOS's own flags, which is what VBlankIntrWait waits for, and counts vertical
@ blanks so the frame loop can tell whether one has passed. On a vertical blank it then calls
@ gVblankHook when set: work that must be done in every vertical blank even while the frame
@ loop is busy for longer than a frame. The hook runs in IRQ mode with interrupts off, on the
@ IRQ stack (128 bytes below the BIOS's frame), so it must be short; ARM or Thumb (BX
@ interworks).
    .section .iwram.irq, "ax", %progbits
    .arm
    .global IrqHandler
IrqHandler:
    mov     r0, #0x04000000
    add     r0, r0, #0x200
    ldr     r1, [r0]                    @ IE in the low half, IF in the high half
    and     r1, r1, r1, lsr #16         @ raised and enabled
    strh    r1, [r0, #2]                @ writing 1 to IF acknowledges
    ldr     r0, =0x03007FF8
    ldrh    r2, [r0]
    orr     r2, r2, r1
    strh    r2, [r0]
    tst     r1, #1                      @ vertical blank
    bxeq    lr
    ldr     r0, =gVblankCount
    ldr     r2, [r0]
    add     r2, r2, #1
    str     r2, [r0]
    ldr     r0, =gVblankHook
    ldr     r0, [r0]
    cmp     r0, #0
    bxeq    lr
    push    {r4, lr}                    @ two words keep the stack 8-byte aligned for C
    mov     lr, pc                      @ returns behind the BX (pc reads 8 bytes ahead)
    bx      r0
    pop     {r4, lr}
    bx      lr
    .ltorg

@ The vertical blank hook: a function pointer (null: none), cleared at start-up.
    .section .bss.gVblankHook, "aw", %nobits
    .align  2
    .global gVblankHook
gVblankHook:
    .space  4

@ The Z80 on the GBA: Z80::Run as hand-written ARM code in IWRAM.
@
@ The Z80's registers live in ARM registers for the whole run; the instruction under PC is
@ fetched through a host pointer and dispatched through a table of handlers. What this file
@ leaves out (interrupts, EI, DI, IM, RETI, RETN, IXh/IXl, the rarer ED forms, fetches near the
@ edge of a mapping or from a page the memory callback serves) is handed to the C++
@ interpreter, RunPortable, one step at a time, with the registers written back first: both
@ cores share Z80State, so the result is the same.
@
@ Registers during a run:
@   r4  host pointer to the next opcode byte (the Z80 PC is r4 - pcBase_)
@   r5  cycles left in the budget (a run stops once it is 0 or less)
@   r6  A           r7  F            (each a clean byte)
@   r8  BC          r9  DE           r10 HL  (each a clean 16-bit value, high byte in 15-8)
@   r11 the CPU object's page tables (&readPages_; Z80State lies at negative offsets)
@   r12 fetch limit: an instruction may start below it (see Z80::RebuildFetchRuns)
@   sp  the opcode table (the ARM stack pointer is saved in the object while the core runs)
@   lr  SP in bits 15-0, the refresh counter in bits 31-24 (R's low 7 bits count on in 30-24);
@       bits 23-16 (set to 80h) take the carries and borrows of SP going round 64 KiB, far
@       fewer in a run than would reach R
@   r0-r3 scratch
@ Interrupts on the GBA run in IRQ mode on their own banked sp and lr, so borrowing sp and lr
@ here is safe; every call out (callbacks, RunPortable) puts the real stack back first.
@
@ When something needs attention between two instructions (an interrupt line, HALT), the
@ budget is pushed down by kAttention, so that the next instruction boundary leaves the fast
@ path; the boundary code adds it back and hands the step to RunPortable.

    .syntax divided
    .arm

@ Offsets from r11 (checked against the C++ layout by static_asserts in Z80.cpp).
    .equ    S_C, -48
    .equ    S_B, -47
    .equ    S_E, -46
    .equ    S_L, -44
    .equ    S_A, -42
    .equ    S_F, -41
    .equ    S_IX, -32
    .equ    S_IY, -30
    .equ    S_SP, -28
    .equ    S_PC, -26
    .equ    S_WZ, -24
    .equ    S_R, -21
    .equ    S_HALTED, -17
    .equ    S_INTDELAY, -16
    .equ    S_LDAIRLAST, -15
    .equ    S_NMIPENDING, -13
    .equ    S_CYCLES, -8
    .equ    O_WRITEPAGES, 256
    .equ    O_MEMCTX, 512
    .equ    O_MEMREAD, 516
    .equ    O_MEMWRITE, 520
    .equ    O_PORTCTX, 524
    .equ    O_PORTREAD, 528
    .equ    O_PORTWRITE, 532
    .equ    O_INTCHECK, 536
    .equ    O_ATTENTION, 537
    .equ    O_PORTSBLIND, 538
    .equ    O_RUNBUDGET, 544
    .equ    O_CYCLESLEFT, 548
    .equ    O_FLIMIT, 552
    .equ    O_FSTART, 808
    .equ    O_SAVESP, 1064
    .equ    O_SAVELR, 1068
    .equ    O_PCBASE, 1072          @ and O_RSTART behind it, for one LDM
    .equ    O_RSTART, 1076
    .equ    O_SAVE1, 1080
    .equ    O_SAVE2, 1084
    .equ    O_SAVE0, 1088
    .equ    O_SAVEADDR, 1092
    .equ    O_R16RET, 1096
    .equ    O_R16R1, 1100
    .equ    O_R16ADDR, 1104
    .equ    O_R16LO, 1108
    .equ    O_R8RET, 1112
    .equ    O_W8RET, 1116
    .equ    O_XYSEL, 1120
    .equ    O_CBOP, 1124
    .equ    O_LSRET, 1132
    .equ    O_LINESLEFT, 1136
    .equ    O_LINECYCLES, 1140
    .equ    O_LINEHOOK, 1144
    .equ    O_LINECTX, 1148
    .equ    O_SAVE12, 1152
    .equ    O_STREAM, 1172          @ StreamPort: state, memory, marks, addressMask
    .equ    O_STREAMMEMORY, 1176
    .equ    O_STREAMMARKS, 1180
    .equ    O_STREAMADDRMASK, 1184
    .equ    O_STREAMMASK, 1188
    .equ    O_STREAMMATCH, 1189
    .equ    ST_ADDRESS, 0           @ StreamPortState
    .equ    ST_LAST, 2              @ the byte last written, and pending behind it
    .equ    kObjectToTables, 48

    .equ    kAttention, 0x40000000
    .equ    RINC, 0x01000000        @ one refresh step in lr

@ Flag tables, just below the opcode table: add rX, sp, value; ldrb rY, [rX, #T_...].
    .equ    T_SZ, -1024      @ S, Z, bits 5 and 3 of a result
    .equ    T_SZP, -768      @ the same with P/V as even parity
    .equ    T_INC, -512      @ INC's flags for a result, but C
    .equ    T_DEC, -256      @ DEC's flags for a result, but C

    .equ    FC, 0x01
    .equ    FN, 0x02
    .equ    FPV, 0x04
    .equ    FX, 0x08
    .equ    FH, 0x10
    .equ    FY, 0x20
    .equ    FZ, 0x40
    .equ    FS, 0x80

@ ---------------------------------------------------------------------------------------------
@ Dispatch

@ Spend n cycles, then run the next instruction: budget left and the fetch inside the limit.
    .macro  NEXT n
    subs    r5, r5, #\n
    cmpgt   r12, r4
    ldrgtb  r0, [r4], #1
    addgt   lr, lr, #RINC
    ldrgt   pc, [sp, r0, lsl #2]
    b       boundary
    .endm

@ The same through one shared copy, for the rarer instructions (3 cycles more, 16 bytes less).
    .macro  NEXTS n
    sub     r5, r5, #\n
    b       next0
    .endm

@ From ROM code, where the fast path's labels are out of branch range: spend n cycles (if any),
@ then the same as NEXT, with the literal pool behind.
    .macro  NEXTFAR n=0
    .if \n
    subs    r5, r5, #\n
    .else
    cmp     r5, #0
    .endif
    cmpgt   r12, r4
    ldrgtb  r0, [r4], #1
    addgt   lr, lr, #RINC
    ldrgt   pc, [sp, r0, lsl #2]
    ldr     pc, =boundary
    .ltorg
    .endm

@ The same after the cycles are spent.
    .macro  NEXT0
    cmp     r5, #0
    cmpgt   r12, r4
    ldrgtb  r0, [r4], #1
    addgt   lr, lr, #RINC
    ldrgt   pc, [sp, r0, lsl #2]
    b       boundary
    .endm

@ The same with the flags of the SUBS that spent the cycles.
    .macro  NEXTGT
    cmpgt   r12, r4
    ldrgtb  r0, [r4], #1
    addgt   lr, lr, #RINC
    ldrgt   pc, [sp, r0, lsl #2]
    b       boundary
    .endm

@ The cycles spent since the budget was last set (O_RUNBUDGET less what is left) into the count.
    .macro  FLUSH_CYCLES
    ldr     r0, [r11, #O_RUNBUDGET]
    sub     r0, r0, r5
    ldr     r1, [r11, #S_CYCLES]
    ldr     r2, [r11, #S_CYCLES + 4]
    adds    r1, r1, r0
    adc     r2, r2, r0, asr #31
    str     r1, [r11, #S_CYCLES]
    str     r2, [r11, #S_CYCLES + 4]
    .endm

@ Calls the C function whose address is in `fn` with the pointer at [r11 + ctx] in r0 (r1, r2
@ as they are), on the real stack; r4-r11 survive the call by its rules, r12 and lr are kept here.
    .macro  CALL_C fn, ctx
    str     r12, [r11, #O_SAVE12]
    str     lr, [r11, #O_SAVELR]
    ldr     sp, [r11, #O_SAVESP]
    mov     r12, \fn
    ldr     r0, [r11, #\ctx]
    mov     lr, pc
    bx      r12
    ldr     sp, =z80_ops
    ldr     lr, [r11, #O_SAVELR]
    ldr     r12, [r11, #O_SAVE12]
    .endm

@ After a callback: with something needing attention, push the budget down (once).
    .macro  ATTENTION_CHECK
    ldrb    r0, [r11, #O_ATTENTION]
    cmp     r0, #0
    beq     2f
    cmn     r5, #kAttention / 2
    subgt   r5, r5, #kAttention
2:
    .endm

@ ---------------------------------------------------------------------------------------------
@ Memory. Addresses are clean 16-bit values in r0; r2 and r3 are clobbered.

@ r0 = byte at r0. Keeps r1.
    .macro  RD8
    mov     r2, r0, lsr #10
    ldr     r2, [r11, r2, lsl #2]
    cmp     r2, #0
    ldrneb  r0, [r2, r0]
    moveq   r3, pc
    ldreq   pc, =slow_read
    .endm

@ byte r1 to r0. Keeps r0 and r1.
    .macro  WR8
    mov     r2, r0, lsr #10
    add     r2, r2, #64
    ldr     r2, [r11, r2, lsl #2]
    cmp     r2, #0
    strneb  r1, [r2, r0]
    moveq   r3, pc
    ldreq   pc, =slow_write
    .endm

@ r0 = word at r0 (low byte first, wrapping at 64 KiB). Keeps r1.
    .macro  RD16
    mov     r2, r0, lsr #10
    ldr     r2, [r11, r2, lsl #2]
    add     r3, r0, #1
    movs    r3, r3, lsl #22
    cmpne   r2, #0
    moveq   r3, pc
    ldreq   pc, =slow_read16
    add     r2, r2, r0
    ldrb    r0, [r2]
    ldrb    r3, [r2, #1]
    orr     r0, r0, r3, lsl #8
    .endm

@ word r1 to r0. Keeps r0 and r1. The slow path writes the low byte first, or with slow_push16
@ the high byte first, as pushes and EX (SP) do (it matters to callbacks).
    .macro  WR16 slow=slow_write16
    mov     r2, r0, lsr #10
    add     r2, r2, #64
    ldr     r2, [r11, r2, lsl #2]
    add     r3, r0, #1
    movs    r3, r3, lsl #22
    cmpne   r2, #0
    moveq   r3, pc
    ldreq   pc, =\slow
    add     r2, r2, r0
    strb    r1, [r2]
    mov     r3, r1, lsr #8
    strb    r3, [r2, #1]
    .endm

@ Immediate operands, from the fetch pointer.
    .macro  IMM8 rd
    ldrb    \rd, [r4], #1
    .endm
    .macro  IMM16 rd
    ldrb    \rd, [r4], #1
    ldrb    r3, [r4], #1
    orr     \rd, \rd, r3, lsl #8
    .endm

@ r0 = the Z80 PC (clean).
    .macro  GETPC rd
    ldr     r3, [r11, #O_PCBASE]
    sub     \rd, r4, r3
    mov     \rd, \rd, lsl #16
    mov     \rd, \rd, lsr #16
    .endm

@ Points r4 at the Z80 address in r0 (clean) and sets r12, pcBase_ and regionStart_.
    .macro  SETPC
    mov     r1, r0, lsr #10
    add     r2, r11, r1, lsl #2
    ldr     r3, [r2]
    ldr     r12, [r2, #O_FLIMIT]
    ldr     r1, [r2, #O_FSTART]
    add     r4, r3, r0
    str     r3, [r11, #O_PCBASE]
    str     r1, [r11, #O_RSTART]
    .endm

@ Points r4 at the Z80 address in r0 (clean), then runs the next instruction: within the
@ mapping the fetch pointer is in, when the target lies at or above its start, by the same base
@ (NEXT's limit check sends a target past its end to boundary, which looks the page up afresh);
@ otherwise through SETPC. The cycles are spent before.
    .macro  GOTO
    add     r2, r11, #O_PCBASE
    ldmia   r2, {r1, r3}                @ pcBase_, regionStart_
    add     r4, r1, r0
    cmp     r4, r3
    blo     jump_far
    NEXT0
    .endm

@ rd = SP (clean).
    .macro  GETSP rd
    mov     \rd, lr, lsl #16
    mov     \rd, \rd, lsr #16
    .endm

@ SP = the clean value in rs.
    .macro  SETSP rs
    mov     lr, lr, lsr #16
    orr     lr, \rs, lr, lsl #16
    .endm

@ Push the word in r1 (high byte first). Clobbers r0, r2, r3.
    .macro  PUSH
    sub     lr, lr, #2
    GETSP   r0
    WR16    slow_push16
    .endm

@ r0 = popped word. Clobbers r1-r3.
    .macro  POP
    GETSP   r0
    add     lr, lr, #2
    RD16
    .endm

@ ---------------------------------------------------------------------------------------------
@ 8-bit registers by the opcode's number: B C D E H L (HL) A.

    .macro  GET8 n, rd
    .if \n == 0
    mov     \rd, r8, lsr #8
    .elseif \n == 1
    and     \rd, r8, #0xFF
    .elseif \n == 2
    mov     \rd, r9, lsr #8
    .elseif \n == 3
    and     \rd, r9, #0xFF
    .elseif \n == 4
    mov     \rd, r10, lsr #8
    .elseif \n == 5
    and     \rd, r10, #0xFF
    .elseif \n == 7
    mov     \rd, r6
    .else
    .error "GET8 of (HL)"
    .endif
    .endm

    .macro  SET8 n, rs
    .if \n == 0
    and     r8, r8, #0xFF
    orr     r8, r8, \rs, lsl #8
    .elseif \n == 1
    bic     r8, r8, #0xFF
    orr     r8, r8, \rs
    .elseif \n == 2
    and     r9, r9, #0xFF
    orr     r9, r9, \rs, lsl #8
    .elseif \n == 3
    bic     r9, r9, #0xFF
    orr     r9, r9, \rs
    .elseif \n == 4
    and     r10, r10, #0xFF
    orr     r10, r10, \rs, lsl #8
    .elseif \n == 5
    bic     r10, r10, #0xFF
    orr     r10, r10, \rs
    .elseif \n == 7
    mov     r6, \rs
    .else
    .error "SET8 of (HL)"
    .endif
    .endm

@ 16-bit pairs by the opcode's number: BC DE HL SP.
    .macro  GET16 n, rd
    .if \n == 0
    mov     \rd, r8
    .elseif \n == 1
    mov     \rd, r9
    .elseif \n == 2
    mov     \rd, r10
    .else
    GETSP   \rd
    .endif
    .endm

    .macro  SET16 n, rs
    .if \n == 0
    mov     r8, \rs
    .elseif \n == 1
    mov     r9, \rs
    .elseif \n == 2
    mov     r10, \rs
    .else
    SETSP   \rs
    .endif
    .endm

@ rd = sz-style table entry for the clean byte in rv.
    .macro  FLAGS rd, rv, table
    add     \rd, sp, \rv
    ldrb    \rd, [\rd, #\table]
    .endm

@ =============================================================================================
    .section .iwram.z80arm, "ax", %progbits
    .align  2

@ Registers from Z80State (and r4, r12 from its PC), the opcode table into sp.
load_state:
    ldrb    r6, [r11, #S_A]
    ldrb    r7, [r11, #S_F]
    ldrh    r8, [r11, #S_C]
    ldrh    r9, [r11, #S_E]
    ldrh    r10, [r11, #S_L]
    ldrh    r0, [r11, #S_PC]
    str     lr, [r11, #O_LSRET]
    SETPC
    ldrb    r0, [r11, #S_R]
    ldrh    r1, [r11, #S_SP]
    mov     lr, r0, lsl #24
    orr     lr, lr, #0x800000
    orr     lr, lr, r1
    ldr     sp, =z80_ops
    ldr     pc, [r11, #O_LSRET]

@ Registers back into Z80State; r0 = the Z80 PC. Keeps r4-r12.
store_state:
    strb    r6, [r11, #S_A]
    strb    r7, [r11, #S_F]
    strh    r8, [r11, #S_C]
    strh    r9, [r11, #S_E]
    strh    r10, [r11, #S_L]
    ldr     r1, [r11, #O_PCBASE]
    sub     r0, r4, r1
    strh    r0, [r11, #S_PC]
    strh    lr, [r11, #S_SP]
    ldrb    r1, [r11, #S_R]
    and     r1, r1, #0x80
    mov     r2, lr, lsl #1
    mov     r2, r2, lsr #25
    orr     r1, r1, r2
    strb    r1, [r11, #S_R]
    mov     pc, r3

@ What Run does before the first instruction, and after each step of RunPortable.
resume:
    cmp     r5, #0                      @ a step that ended the budget ends the run, leaving
    ble     done                        @ LD A,I's and EI's marks for the next one
    ldrb    r0, [r11, #S_LDAIRLAST]
    cmp     r0, #0
    bne     resume_ldair
resume_delay:
    ldrb    r0, [r11, #S_INTDELAY]
    cmp     r0, #0
    bne     resume_intdelay
    ldrb    r0, [r11, #O_ATTENTION]
    cmp     r0, #0
    cmpne   r5, #0
    subgt   r5, r5, #kAttention
    NEXT0

resume_ldair:
    @ LD A,I / LD A,R ended the last step: a maskable interrupt taken right behind it finds
    @ P/V cleared.
    mov     r0, #0
    strb    r0, [r11, #S_LDAIRLAST]
    ldrb    r0, [r11, #O_INTCHECK]
    ldrb    r1, [r11, #S_NMIPENDING]
    cmp     r0, #0
    cmpne   r1, #1
    bicne   r7, r7, #FPV
    b       resume_delay

resume_intdelay:
    @ An EI or a prefix ended the last step: the next instruction runs before any interrupt.
    cmp     r5, #0
    ble     done
    cmp     r12, r4
    ldrle   pc, =portable_step
    @ With an interrupt pending the one instruction before it is RunPortable's too.
    ldrb    r0, [r11, #O_ATTENTION]
    cmp     r0, #0
    ldrne   pc, =portable_step
    strb    r0, [r11, #S_INTDELAY]
    ldrb    r0, [r4], #1
    add     lr, lr, #RINC
    ldr     pc, [sp, r0, lsl #2]

next0:
    NEXT0

@ The fast path's way out: the budget is spent, something needs attention, or the next
@ instruction is not inside the fetch limit.
boundary:
    cmp     r5, #0
    ble     boundary_out
    @ The fetch pointer left its mapping, or the page has none: look the page up afresh.
    GETPC   r0
    SETPC
    cmp     r12, r4
    ldrgtb  r0, [r4], #1
    addgt   lr, lr, #RINC
    ldrgt   pc, [sp, r0, lsl #2]
    ldr     pc, =portable_step
boundary_out:
    cmn     r5, #kAttention / 2
    bge     done
    add     r5, r5, #kAttention
    cmp     r5, #0
    ble     done
    ldrb    r0, [r11, #O_INTCHECK]
    ldrb    r1, [r11, #S_HALTED]
    eor     r0, r0, #1
    tst     r0, r1
    ldreq   pc, =portable_step         @ an interrupt to take, for RunPortable
    @ HALT with no interrupt to take: 4-cycle steps (each refreshing) for the rest of the
    @ budget.
    add     r0, r5, #3
    mov     r0, r0, lsr #2
    add     lr, lr, r0, lsl #24
    sub     r5, r5, r0, lsl #2
    b       done

done:
    ldr     r0, [r11, #O_LINESLEFT]
    cmp     r0, #0
    bne     line_end
run_end:
    mov     r3, pc
    b       store_state
    FLUSH_CYCLES
    mov     r0, #0
    str     r0, [r11, #O_RUNBUDGET]
    str     r0, [r11, #O_CYCLESLEFT]
    rsb     r0, r5, #0
    ldr     sp, [r11, #O_SAVESP]
    ldmfd   sp!, {r4-r11, lr}
    bx      lr

@ A line of RunLines is over (r5 <= 0, r0 = the lines left): the registers and the cycle count
@ written back, the hook called (r4-r11 survive it), then the next line, or the end.
line_end:
    sub     r0, r0, #1
    str     r0, [r11, #O_LINESLEFT]
    mov     r3, pc
    b       store_state
    FLUSH_CYCLES
    str     r5, [r11, #O_RUNBUDGET]
    str     r5, [r11, #O_CYCLESLEFT]
    ldr     r1, [r11, #O_LINEHOOK]
    CALL_C  r1, O_LINECTX
    ldr     r0, [r11, #O_LINESLEFT]
    cmp     r0, #0
    beq     run_end
    ldr     r0, [r11, #O_LINECYCLES]
    add     r5, r5, r0
    str     r5, [r11, #O_RUNBUDGET]
    b       resume

    .ltorg
@ =============================================================================================
@ Cold paths, in ROM (ARM code; reached and left through absolute addresses).
    .section .text.z80arm_cold, "ax", %progbits
    .align  2

@ Port callbacks that may look at the registers and the time (the default), as RunPortable
@ calls them: inside them State() and ElapsedCycles() are exact. The cycles are spent before the
@ call. r1 = port (16 bits), r2 = value; returns to [r3].
    .ltorg
port_out_exact:
    str     r3, [r11, #O_SAVE2]
    str     r5, [r11, #O_CYCLESLEFT]
    str     r1, [r11, #O_SAVE1]
    str     r2, [r11, #O_SAVEADDR]
    ldr     r0, [r11, #O_PORTWRITE]
    cmp     r0, #0
    ldreq   pc, [r11, #O_SAVE2]
    mov     r3, pc
    ldr     pc, =store_state
    str     lr, [r11, #O_SAVELR]
    ldr     sp, [r11, #O_SAVESP]
    ldr     r0, [r11, #O_PORTCTX]
    ldr     r1, [r11, #O_SAVE1]
    ldr     r2, [r11, #O_SAVEADDR]
    and     r2, r2, #0xFF
    ldr     r12, [r11, #O_PORTWRITE]
    mov     lr, pc
    bx      r12
port_back:
    ldr     sp, =z80_ops
    ldr     lr, [r11, #O_SAVELR]
    ldrh    r0, [r11, #S_PC]
    SETPC
    ATTENTION_CHECK
    ldr     r0, [r11, #O_SAVE0]
    ldr     pc, [r11, #O_SAVE2]

@ r1 = port (clean 16 bits); returns r0 = the byte read, to r3.
port_in_exact:
    str     r3, [r11, #O_SAVE2]
    str     r5, [r11, #O_CYCLESLEFT]
    str     r1, [r11, #O_SAVE1]
    ldr     r0, [r11, #O_PORTREAD]
    cmp     r0, #0
    moveq   r0, #0xFF
    ldreq   pc, [r11, #O_SAVE2]
    mov     r3, pc
    ldr     pc, =store_state
    str     lr, [r11, #O_SAVELR]
    ldr     sp, [r11, #O_SAVESP]
    ldr     r0, [r11, #O_PORTCTX]
    ldr     r1, [r11, #O_SAVE1]
    ldr     r12, [r11, #O_PORTREAD]
    mov     lr, pc
    bx      r12
    and     r0, r0, #0xFF
    str     r0, [r11, #O_SAVE0]
    b       port_back

    .ltorg

@ The ways in (once a frame with RunLines): ARM code in ROM.
@ int rix_z80_arm_run(Z80* cpu, int cycles)
    .global rix_z80_arm_run
    .type   rix_z80_arm_run, %function
rix_z80_arm_run:
    cmp     r1, #0
    rsble   r0, r1, #0
    bxle    lr
    stmfd   sp!, {r4-r11, lr}
    add     r11, r0, #kObjectToTables
    mov     r0, #0
    str     r0, [r11, #O_LINESLEFT]
    str     sp, [r11, #O_SAVESP]
    str     r1, [r11, #O_RUNBUDGET]
    str     r1, [r11, #O_CYCLESLEFT]
    mov     r5, r1
    mov     lr, pc
    ldr     pc, =load_state
    ldr     pc, =resume

@ int rix_z80_arm_run_lines(Z80* cpu, int lines, int lineCycles, int overrun, hook, context)
@ Runs the lines one after the other without leaving the core: where a Run would end, `done`
@ writes the registers back, calls the hook and goes on with the next line's budget.
    .global rix_z80_arm_run_lines
    .type   rix_z80_arm_run_lines, %function
rix_z80_arm_run_lines:
    cmp     r1, #0
    movle   r0, r3
    bxle    lr
    stmfd   sp!, {r4-r11, lr}
    add     r11, r0, #kObjectToTables
    ldr     r4, [sp, #36]
    ldr     r5, [sp, #40]
    str     r4, [r11, #O_LINEHOOK]
    str     r5, [r11, #O_LINECTX]
    str     r1, [r11, #O_LINESLEFT]
    str     r2, [r11, #O_LINECYCLES]
    str     sp, [r11, #O_SAVESP]
    sub     r5, r2, r3
    str     r5, [r11, #O_RUNBUDGET]
    str     r5, [r11, #O_CYCLESLEFT]
    mov     lr, pc
    ldr     pc, =load_state
    ldr     pc, =resume

    .ltorg

@ One step of RunPortable: one instruction, or an interrupt's acceptance, or HALT's idling to
@ the end of the budget. The state is written back first and read again after.
portable_step:
    mov     r3, pc
    ldr     pc, =store_state
    @ The cycles so far go into the count, so that RunPortable starts from an exact total.
    FLUSH_CYCLES
    @ HALT without an interrupt to take idles for the rest of the budget at once.
    mov     r4, #1
    ldrb    r0, [r11, #S_INTDELAY]
    ldrb    r1, [r11, #O_INTCHECK]
    ldrb    r2, [r11, #S_HALTED]
    orr     r0, r0, r1
    cmp     r0, #0
    cmpeq   r2, #1
    moveq   r4, r5
    ldr     sp, [r11, #O_SAVESP]
    sub     r0, r11, #kObjectToTables
    mov     r1, r4
    bl      rix_z80_arm_step
    add     r0, r0, r4
    sub     r5, r5, r0
    str     r5, [r11, #O_RUNBUDGET]
    mov     lr, pc
    ldr     pc, =load_state
    ldr     pc, =resume

@ Handlers that leave their instruction to RunPortable: PC goes back to the opcode (and R with
@ it), nothing has been spent.
op_portable:
    sub     r4, r4, #1
    sub     lr, lr, #RINC
    b       portable_step
op_portable2:
    sub     r4, r4, #2
    sub     lr, lr, #2 * RINC
    b       portable_step

@ ---------------------------------------------------------------------------------------------
@ Slow memory paths: a page without a buffer goes to the memory callbacks. A callback may
@ remap pages (bank switching), so the fetch pointer is worked out afresh behind it; it may
@ also raise an interrupt line. Entered with the return address in r3.

@ Saves what a callback may clobber and the Z80 PC; the real stack in sp.
    .macro  CALLOUT_BEGIN
    str     r3, [r11, #O_SAVE2]
    str     lr, [r11, #O_SAVELR]
    str     r1, [r11, #O_SAVE1]
    ldr     r3, [r11, #O_PCBASE]
    sub     r3, r4, r3
    mov     r4, r3, lsl #16           @ r4 is callee-saved: the Z80 PC survives the call
    mov     r4, r4, lsr #16
    ldr     sp, [r11, #O_SAVESP]
    .endm

@ And back: the opcode table, the fetch pointer for the saved PC, the attention check.
    .macro  CALLOUT_END
    ldr     sp, =z80_ops
    ldr     lr, [r11, #O_SAVELR]
    str     r0, [r11, #O_SAVE0]       @ r0 (a result) survives SETPC through this slot
    mov     r0, r4
    SETPC
    ldrb    r0, [r11, #O_ATTENTION]
    cmp     r0, #0
    beq     1f
    cmn     r5, #kAttention / 2
    subgt   r5, r5, #kAttention
1:
    ldr     r0, [r11, #O_SAVE0]
    ldr     r1, [r11, #O_SAVE1]
    ldr     r3, [r11, #O_SAVE2]
    .endm

slow_read:
    @ r0 = address, returns r0 = byte at [r3]
    ldr     r2, [r11, #O_MEMREAD]
    cmp     r2, #0
    moveq   r0, #0xFF
    moveq   pc, r3
    CALLOUT_BEGIN
    mov     r1, r0
    ldr     r0, [r11, #O_MEMCTX]
    mov     lr, pc
    bx      r2
    and     r0, r0, #0xFF
    CALLOUT_END
    mov     pc, r3

slow_write:
    @ r0 = address, r1 = byte; keeps r0 and r1; returns to [r3]
    ldr     r2, [r11, #O_MEMWRITE]
    cmp     r2, #0
    moveq   pc, r3
    str     r0, [r11, #O_SAVEADDR]
    CALLOUT_BEGIN
    and     r2, r1, #0xFF
    mov     r1, r0
    ldr     r0, [r11, #O_MEMCTX]
    ldr     r12, [r11, #O_MEMWRITE]
    mov     lr, pc
    bx      r12
    ldr     r0, [r11, #O_SAVEADDR]
    CALLOUT_END
    mov     pc, r3

slow_read16:
    @ r0 = address, returns r0 = word at [r3] + 16
    add     r3, r3, #16
    str     r3, [r11, #O_R16RET]
    str     r1, [r11, #O_R16R1]
    str     r0, [r11, #O_R16ADDR]
    mov     r3, pc
    b       read8_any
    str     r0, [r11, #O_R16LO]
    ldr     r0, [r11, #O_R16ADDR]
    add     r0, r0, #1
    bic     r0, r0, #0x10000
    mov     r3, pc
    b       read8_any
    ldr     r1, [r11, #O_R16LO]
    orr     r0, r1, r0, lsl #8
    ldr     r1, [r11, #O_R16R1]
    ldr     pc, [r11, #O_R16RET]

@ Words to a page without a buffer (or across a page end), a byte at a time: r0 = address, r1 =
@ word; keeps r0 and r1; returns to [r3] + 16.
    .macro  SLOW_WRITE16 highFirst
    add     r3, r3, #16
    str     r3, [r11, #O_R16RET]
    str     r1, [r11, #O_R16R1]
    str     r0, [r11, #O_R16ADDR]
    .if \highFirst
    add     r0, r0, #1
    bic     r0, r0, #0x10000
    mov     r1, r1, lsr #8
    .endif
    mov     r3, pc
    b       write8_any
    ldr     r0, [r11, #O_R16ADDR]
    ldr     r1, [r11, #O_R16R1]
    .if \highFirst == 0
    add     r0, r0, #1
    bic     r0, r0, #0x10000
    mov     r1, r1, lsr #8
    .endif
    mov     r3, pc
    b       write8_any
    ldr     r0, [r11, #O_R16ADDR]
    ldr     r1, [r11, #O_R16R1]
    ldr     pc, [r11, #O_R16RET]
    .endm

slow_write16:
    SLOW_WRITE16 0
slow_push16:
    SLOW_WRITE16 1

@ RD8 and WR8 as subroutines (return address in r3).
read8_any:
    str     r3, [r11, #O_R8RET]
    RD8
    ldr     pc, [r11, #O_R8RET]
write8_any:
    str     r3, [r11, #O_W8RET]
    WR8
    ldr     pc, [r11, #O_W8RET]

    .ltorg

    .section .iwram.z80arm, "ax", %progbits
    .align  2
@ =============================================================================================
@ The unprefixed instructions

@ --- 8-bit loads -------------------------------------------------------------------------------

@ LD r,r' for every pair but the (HL) ones.
    .irp    dst, 0, 1, 2, 3, 4, 5, 7
    .irp    src, 0, 1, 2, 3, 4, 5, 7
op_ld_\dst\()_\src:
    .if \dst != \src
    GET8    \src, r0
    SET8    \dst, r0
    .endif
    NEXT    4
    .endr
    .endr

@ LD r,(HL)
    .irp    dst, 0, 1, 2, 3, 4, 5, 7
op_ld_\dst\()_6:
    mov     r0, r10
    RD8
    SET8    \dst, r0
    NEXT    7
    .endr

@ LD (HL),r
    .irp    src, 0, 1, 2, 3, 4, 5, 7
op_ld_6_\src:
    GET8    \src, r1
    mov     r0, r10
    WR8
    NEXT    7
    .endr

@ LD r,n and LD (HL),n
    .irp    dst, 0, 1, 2, 3, 4, 5, 7
op_ldn_\dst:
    IMM8    r0
    SET8    \dst, r0
    NEXT    7
    .endr
    .ltorg
@ --- 16-bit loads ------------------------------------------------------------------------------

    .irp    p, 0, 1, 2
op_ldrr_\p:
    IMM16   r0
    SET16   \p, r0
    NEXT    10
    .endr
op_ld_nn_hl:                            @ LD (nn),HL: MEMPTR = nn + 1
    IMM16   r0
    mov     r1, r10
    WR16
    add     r2, r0, #1
    strh    r2, [r11, #S_WZ]
    NEXTS   16
op_ld_hl_nn:
    IMM16   r0
    add     r1, r0, #1
    strh    r1, [r11, #S_WZ]
    RD16
    mov     r10, r0
    NEXTS   16
    .irp    p, 0, 1, 2
op_push_\p:
    GET16   \p, r1
    PUSH
    NEXT    11
op_pop_\p:
    POP
    SET16   \p, r0
    NEXT    10
    .endr
op_ex_de_hl:
    mov     r0, r9
    mov     r9, r10
    mov     r10, r0
    NEXT    4
@ --- 8-bit arithmetic --------------------------------------------------------------------------

@ rd = rs + 1 or rs - 1 (clean), with INC's or DEC's flags; C stays.
    .macro  INC8 rd, rs
    add     \rd, \rs, #1
    and     \rd, \rd, #0xFF
    and     r7, r7, #FC
    FLAGS   r2, \rd, T_INC
    orr     r7, r7, r2
    .endm
    .macro  DEC8 rd, rs
    sub     \rd, \rs, #1
    and     \rd, \rd, #0xFF
    and     r7, r7, #FC
    FLAGS   r2, \rd, T_DEC
    orr     r7, r7, r2
    .endm

    .irp    n, 0, 1, 2, 3, 4, 5, 7
op_inc_\n:
    GET8    \n, r0
    INC8    r0, r0
    SET8    \n, r0
    NEXT    4
op_dec_\n:
    GET8    \n, r0
    DEC8    r0, r0
    SET8    \n, r0
    NEXT    4
    .endr
    .ltorg
@ The eight operations on A with the value in r1, the cycles already spent by a SUBS whose
@ flags they keep for the dispatch (no instruction here sets flags). Exact flags, bits 3 and 5
@ included (CP takes them from the operand). The immediate form of each, frequent in games,
@ runs into its operation, a branch the fewer.
    .macro  ALU_IMM k
op_\k\()_n:
    IMM8    r1
    subs    r5, r5, #7
    .endm

    ALU_IMM adc
alu_adc:
    and     r0, r7, #FC
    add     r0, r0, r1
    add     r0, r0, r6
    b       alu_add_flags
    ALU_IMM add
alu_add:
    add     r0, r6, r1
alu_add_flags:
    eor     r2, r6, r1                  @ A ^ v
    eor     r3, r2, r0                  @ A ^ v ^ result: H in bit 4
    and     r7, r3, #FH
    orr     r7, r7, r0, lsr #8          @ C: the result's bit 8
    eor     r3, r6, r0
    bic     r3, r3, r2                  @ overflow: same signs in, another sign out
    and     r3, r3, #0x80
    orr     r7, r7, r3, lsr #5
    and     r6, r0, #0xFF
    FLAGS   r2, r6, T_SZ
    orr     r7, r7, r2
    NEXTGT

    ALU_IMM sbc
alu_sbc:
    and     r0, r7, #FC
    sub     r0, r6, r0
    sub     r0, r0, r1
    b       alu_sub_flags
    ALU_IMM sub
alu_sub:
    sub     r0, r6, r1
alu_sub_flags:
    eor     r2, r6, r1
    eor     r3, r2, r0
    and     r7, r3, #FH
    and     r3, r0, #0x100              @ C: the borrow into bit 8
    orr     r7, r7, r3, lsr #8
    eor     r3, r6, r0
    and     r3, r3, r2                  @ overflow: different signs in, the subtrahend's out
    and     r3, r3, #0x80
    orr     r7, r7, r3, lsr #5
    orr     r7, r7, #FN
    and     r6, r0, #0xFF
    FLAGS   r2, r6, T_SZ
    orr     r7, r7, r2
    NEXTGT

    ALU_IMM cp
alu_cp:
    sub     r0, r6, r1
    eor     r2, r6, r1
    eor     r3, r2, r0
    and     r7, r3, #FH
    and     r3, r0, #0x100              @ C: the borrow into bit 8
    orr     r7, r7, r3, lsr #8
    eor     r3, r6, r0
    and     r3, r3, r2
    and     r3, r3, #0x80
    orr     r7, r7, r3, lsr #5
    orr     r7, r7, #FN
    and     r0, r0, #0xFF
    FLAGS   r2, r0, T_SZ
    and     r2, r2, #FS | FZ
    orr     r7, r7, r2
    and     r2, r1, #FX | FY
    orr     r7, r7, r2
    NEXTGT

    ALU_IMM and
alu_and:
    and     r6, r6, r1
    FLAGS   r7, r6, T_SZP
    orr     r7, r7, #FH
    NEXTGT
    ALU_IMM xor
alu_xor:
    eor     r6, r6, r1
    FLAGS   r7, r6, T_SZP
    NEXTGT
    ALU_IMM or
alu_or:
    orr     r6, r6, r1
    FLAGS   r7, r6, T_SZP
    NEXTGT

@ The register and (HL) forms of each.
    .irp    k, add, adc, sub, sbc, and, xor, or, cp
    .irp    n, 0, 1, 2, 3, 4, 5, 7
op_\k\()_\n:
    GET8    \n, r1
    subs    r5, r5, #4
    b       alu_\k
    .endr
op_\k\()_6:
    mov     r0, r10
    RD8
    mov     r1, r0
    subs    r5, r5, #7
    b       alu_\k
    .endr

    .ltorg
@ --- 16-bit arithmetic -------------------------------------------------------------------------

@ ADD rd,rv (rd HL, IX or IY as a clean value): MEMPTR = rd + 1; S, Z and P/V stay.
    .macro  ADD16 rd, rv
    add     r2, \rd, #1
    strh    r2, [r11, #S_WZ]
    add     r0, \rd, \rv
    eor     r1, \rd, \rv
    eor     r1, r1, r0
    and     r1, r1, #0x1000
    and     r7, r7, #FS | FZ | FPV
    orr     r7, r7, r1, lsr #8
    orr     r7, r7, r0, lsr #16
    and     r1, r0, #0x2800
    orr     r7, r7, r1, lsr #8
    bic     \rd, r0, #0x10000
    .endm

op_add_hl_0:
    ADD16   r10, r8
    NEXT    11
op_add_hl_1:
    ADD16   r10, r9
    NEXT    11
op_add_hl_2:
    ADD16   r10, r10
    NEXT    11
    .irp    p, 0, 1, 2
op_incrr_\p:
    GET16   \p, r0
    add     r0, r0, #1
    bic     r0, r0, #0x10000
    SET16   \p, r0
    NEXT    6
op_decrr_\p:
    GET16   \p, r0
    sub     r0, r0, #1
    mov     r0, r0, lsl #16
    mov     r0, r0, lsr #16
    SET16   \p, r0
    NEXT    6
    .endr
@ --- Jumps, calls, returns ---------------------------------------------------------------------

@ Conditions by number: NZ Z NC C PO PE P M. Each leaves "eq" when it holds.
    .macro  COND c
    .if \c == 0
    tst     r7, #FZ
    .elseif \c == 1
    eor     r3, r7, #FZ
    tst     r3, #FZ
    .elseif \c == 2
    tst     r7, #FC
    .elseif \c == 3
    eor     r3, r7, #FC
    tst     r3, #FC
    .elseif \c == 4
    tst     r7, #FPV
    .elseif \c == 5
    eor     r3, r7, #FPV
    tst     r3, #FPV
    .elseif \c == 6
    tst     r7, #FS
    .else
    eor     r3, r7, #FS
    tst     r3, #FS
    .endif
    .endm

@ JR, JR cc taken and DJNZ going round with the displacement in r0, n cycles to spend, MEMPTR =
@ the target: within the fetch pointer's mapping when the target lies at or above its start
@ (NEXT's limit check sends a target past its end to boundary), otherwise through SETPC. JR to
@ itself (self=1) goes to jr_self.
    .macro  JR_GO n, self
    .if \self
    cmn     r0, #2
    beq     jr_self\n
    .endif
    add     r4, r4, r0
    add     r2, r11, #O_PCBASE
    ldmia   r2, {r1, r3}                @ pcBase_, regionStart_
    sub     r0, r4, r1
    strh    r0, [r11, #S_WZ]
    cmp     r4, r3
    blo     jr_far\n
    subs    r5, r5, #\n
    NEXTGT
    .endm

jr_far13:
    sub     r5, r5, #1
jr_far12:
    sub     r5, r5, #12
    mov     r0, r0, lsl #16
    mov     r0, r0, lsr #16
    b       jump_far
jr_self12:
    sub     r5, r5, #12
    b       jr_self

    .irp    c, 0, 1, 2, 3
op_jr_\c:
    ldrsb   r0, [r4], #1
    COND    \c
    bne     1f
    JR_GO   12, 1
1:  NEXT    7
    .endr
op_jr:
    ldrsb   r0, [r4], #1
    JR_GO   12, 1

@ JR (or JR cc taken) to itself, its 12 cycles spent, the way programs wait for the frame
@ interrupt: it changes nothing but R and the time until the budget ends (interrupts come only
@ between runs, and a condition it tests cannot change), so all the rounds the budget holds
@ are taken at once.
jr_self:
    sub     r4, r4, #2
    ldr     r3, [r11, #O_PCBASE]
    sub     r1, r4, r3
    strh    r1, [r11, #S_WZ]
    cmp     r5, #0
    ble     next0
    add     r1, r5, #11                 @ ceil(r5 / 12) rounds more
    ldr     r2, =0xAAAAAAAB
    umull   r3, r0, r1, r2
    mov     r0, r0, lsr #3
    add     lr, lr, r0, lsl #24         @ each fetches the JR again
    add     r0, r0, r0, lsl #1
    sub     r5, r5, r0, lsl #2
    b       next0
op_djnz:
    ldrsb   r0, [r4], #1
    subs    r8, r8, #0x100
    addmi   r8, r8, #0x10000            @ B from 0 to FFh
    tst     r8, #0xFF00
    beq     1f
    JR_GO   13, 0
1:  NEXT    8

@ JP to r0 with the cycles spent.
jump:
    GOTO
jump_far:
    SETPC
    NEXT0

op_jp:
    IMM16   r0
    strh    r0, [r11, #S_WZ]
    sub     r5, r5, #10
    b       jump
    .irp    c, 0, 1, 2, 3, 4, 5, 6, 7
op_jp_\c:
    COND    \c
    beq     op_jp
    b       skip2_10
    .endr
skip2_10:                               @ a condition not met: MEMPTR = nn all the same
    IMM16   r0
    strh    r0, [r11, #S_WZ]
    NEXT    10
op_jp_hl:
    mov     r0, r10
    sub     r5, r5, #4
    b       jump

@ CALL to the target in MEMPTR with the cycles spent: pushes the PC behind the instruction
@ (its low 16 bits: the push stores no more).
op_call:
    IMM16   r0
    strh    r0, [r11, #S_WZ]
    sub     r5, r5, #17
call:
    ldr     r3, [r11, #O_PCBASE]
    sub     r1, r4, r3
    PUSH
    ldrh    r0, [r11, #S_WZ]
    GOTO

    .irp    c, 0, 1, 2, 3, 4, 5, 6, 7
op_call_\c:
    COND    \c
    beq     op_call
    b       skip2_10
    .endr

    .irp    t, 0x00, 0x08, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38
op_rst_\t:
    mov     r0, #\t
    strh    r0, [r11, #S_WZ]
    sub     r5, r5, #11
    b       call
    .endr

op_ret:
    sub     r5, r5, #10
ret:
    POP
    strh    r0, [r11, #S_WZ]
    GOTO

    .irp    c, 0, 1, 2, 3, 4, 5, 6, 7
op_ret_\c:
    COND    \c
    subeq   r5, r5, #11
    beq     ret
    NEXTS   5
    .endr

@ --- Ports ----------------------------------------------------------------------------------

@ The port callbacks. r1 = port (clean 16 bits), r2 = the value for a write; a read returns
@ the byte in r0; both return to r3. The machine's chips look at neither the registers nor the
@ time nor the memory map (SetPortsBlind): only what a call clobbers is kept around it (r4-r11
@ survive it). Other callbacks take the exact way (in ROM), with the state written back.
    .ltorg
port_out:
    str     r3, [r11, #O_SAVE2]
    ldrb    r0, [r11, #O_STREAMMASK]
    ldrb    r3, [r11, #O_STREAMMATCH]
    and     r0, r0, r1
    cmp     r0, r3
    beq     stream_write
    ldr     r3, [r11, #O_SAVE2]
    ldrb    r0, [r11, #O_PORTSBLIND]
    cmp     r0, #0
    ldreq   pc, =port_out_exact
    ldr     r0, [r11, #O_PORTWRITE]
    cmp     r0, #0
    moveq   pc, r3
    and     r2, r2, #0xFF
    CALL_C  r0, O_PORTCTX
    ATTENTION_CHECK
    ldr     pc, [r11, #O_SAVE2]

@ The wired stream port (Z80::SetStreamPort), as StreamPort::Write does it: the clean byte in v
@ at the address, which advances, the byte kept with pending cleared, the address's block
@ marked. v may be r2; r0-r3 are clobbered.
    .macro  STREAM_WRITE v
    ldr     r0, [r11, #O_STREAM]
    ldrh    r1, [r0, #ST_ADDRESS]
    strh    \v, [r0, #ST_LAST]          @ last = the byte, pending = false
    ldr     r3, [r11, #O_STREAMMEMORY]
    strb    \v, [r3, r1]
    ldr     r3, [r11, #O_STREAMADDRMASK]
    add     r2, r1, #1
    and     r2, r2, r3
    strh    r2, [r0, #ST_ADDRESS]
    ldr     r0, [r11, #O_STREAMMARKS]
    mov     r1, r1, lsr #3              @ the block
    and     r2, r1, #7
    mov     r3, #1
    mov     r2, r3, lsl r2
    ldrb    r3, [r0, r1, lsr #3]
    orr     r3, r3, r2
    strb    r3, [r0, r1, lsr #3]
    .endm
stream_write:
    and     r2, r2, #0xFF
    STREAM_WRITE r2
    ldr     pc, [r11, #O_SAVE2]
port_in:
    ldrb    r0, [r11, #O_PORTSBLIND]
    cmp     r0, #0
    ldreq   pc, =port_in_exact
    ldr     r0, [r11, #O_PORTREAD]
    cmp     r0, #0
    moveq   r0, #0xFF
    moveq   pc, r3
    str     r3, [r11, #O_SAVE2]
    CALL_C  r0, O_PORTCTX
    and     r0, r0, #0xFF
    str     r0, [r11, #O_SAVE0]
    ATTENTION_CHECK
    ldr     r0, [r11, #O_SAVE0]
    ldr     pc, [r11, #O_SAVE2]

op_out_n_a:                             @ OUT (n),A: MEMPTR = A, n + 1
    IMM8    r0
    sub     r5, r5, #11
    add     r2, r0, #1
    and     r2, r2, #0xFF
    orr     r2, r2, r6, lsl #8
    strh    r2, [r11, #S_WZ]
    ldr     r3, [r11, #O_STREAMMASK]    @ the stream port's mask, and its match in bits 15-8
    and     r2, r0, r3
    and     r3, r3, #0xFF00
    cmp     r2, r3, lsr #8
    bne     1f
    STREAM_WRITE r6                     @ the video chip's data port, the most frequent
    NEXT0
1:  orr     r1, r0, r6, lsl #8
    mov     r2, r6
    mov     r3, pc
    b       port_out
    NEXT0
op_in_a_n:                              @ IN A,(n): MEMPTR = A n + 1
    IMM8    r0
    sub     r5, r5, #11
    orr     r1, r0, r6, lsl #8
    add     r2, r1, #1
    strh    r2, [r11, #S_WZ]
    mov     r3, pc
    b       port_in
    mov     r6, r0
    NEXT0

    .ltorg

@ =============================================================================================
@ CB: rotates and shifts, BIT, RES, SET

@ The operation of CB opcode r0 on the value r2 (not BIT): r2 = the result (clean), the
@ shifts' flags set. Clobbers r0, r1; returns to r3.
cb_modify:
    mov     r1, r0, lsr #6
    cmp     r1, #2
    and     r1, r0, #0x38
    blo     1f
    mov     r1, r1, lsr #3
    mov     r0, #1
    mov     r0, r0, lsl r1
    biceq   r2, r2, r0
    orrhi   r2, r2, r0
    mov     pc, r3
1:  add     pc, pc, r1, lsl #2          @ eight instructions for each kind
    nop
    @ RLC
    mov     r0, r2, lsr #7
    orr     r2, r0, r2, lsl #1
    b       2f
    nop
    nop
    nop
    nop
    nop
    @ RRC
    and     r0, r2, #1
    mov     r2, r2, lsr #1
    orr     r2, r2, r0, lsl #7
    b       2f
    nop
    nop
    nop
    nop
    @ RL
    and     r1, r7, #FC
    mov     r0, r2, lsr #7
    orr     r2, r1, r2, lsl #1
    b       2f
    nop
    nop
    nop
    nop
    @ RR
    and     r1, r7, #FC
    and     r0, r2, #1
    mov     r2, r2, lsr #1
    orr     r2, r2, r1, lsl #7
    b       2f
    nop
    nop
    nop
    @ SLA
    mov     r0, r2, lsr #7
    mov     r2, r2, lsl #1
    b       2f
    nop
    nop
    nop
    nop
    nop
    @ SRA
    and     r0, r2, #1
    and     r1, r2, #0x80
    orr     r2, r1, r2, lsr #1
    b       2f
    nop
    nop
    nop
    nop
    @ SLL: shifts a 1 in
    mov     r0, r2, lsr #7
    mov     r2, r2, lsl #1
    orr     r2, r2, #1
    b       2f
    nop
    nop
    nop
    nop
    @ SRL
    and     r0, r2, #1
    mov     r2, r2, lsr #1
2:  and     r2, r2, #0xFF
    FLAGS   r7, r2, T_SZP
    orr     r7, r7, r0
    mov     pc, r3

@ BIT n of r2 (n from opcode r0); bits 3 and 5 from r1.
    .macro  BITFLAGS
    and     r0, r0, #0x38
    mov     r0, r0, lsr #3
    mov     r3, #1
    and     r3, r2, r3, lsl r0
    and     r7, r7, #FC
    orr     r7, r7, #FH
    and     r1, r1, #FX | FY
    orr     r7, r7, r1
    cmp     r3, #0
    orreq   r7, r7, #FZ | FPV
    and     r3, r3, #FS
    orr     r7, r7, r3
    .endm

    .ltorg
op_cb:
    ldrb    r0, [r4], #1
    add     lr, lr, #RINC
    and     r1, r0, #7
    cmp     r1, #6
    beq     cb_hl
    add     pc, pc, r1, lsl #3          @ two instructions for each register
    nop
    mov     r2, r8, lsr #8
    b       1f
    and     r2, r8, #0xFF
    b       1f
    mov     r2, r9, lsr #8
    b       1f
    and     r2, r9, #0xFF
    b       1f
    mov     r2, r10, lsr #8
    b       1f
    and     r2, r10, #0xFF
    b       1f
    nop
    nop
    mov     r2, r6
1:  and     r3, r0, #0xC0
    cmp     r3, #0x40
    beq     cb_bit
    str     r0, [r11, #O_CBOP]
    mov     r3, pc
    b       cb_modify
    ldr     r0, [r11, #O_CBOP]
    and     r1, r0, #7
    adr     r3, cb_next8
set8_r2:                                @ register r1 (not 6) = r2, then to r3
    add     pc, pc, r1, lsl #4          @ four instructions for each register
    nop
    and     r8, r8, #0xFF
    orr     r8, r8, r2, lsl #8
    mov     pc, r3
    nop
    bic     r8, r8, #0xFF
    orr     r8, r8, r2
    mov     pc, r3
    nop
    and     r9, r9, #0xFF
    orr     r9, r9, r2, lsl #8
    mov     pc, r3
    nop
    bic     r9, r9, #0xFF
    orr     r9, r9, r2
    mov     pc, r3
    nop
    and     r10, r10, #0xFF
    orr     r10, r10, r2, lsl #8
    mov     pc, r3
    nop
    bic     r10, r10, #0xFF
    orr     r10, r10, r2
    mov     pc, r3
    nop
    nop
    nop
    mov     pc, r3
    nop
    mov     r6, r2
    nop
    mov     pc, r3
    nop
cb_next8:
    NEXT    8
cb_bit:
    mov     r1, r2
    BITFLAGS
    NEXT    8
cb_hl:
    str     r0, [r11, #O_CBOP]
    mov     r0, r10
    RD8
    mov     r2, r0
    ldr     r0, [r11, #O_CBOP]
    and     r3, r0, #0xC0
    cmp     r3, #0x40
    bne     1f
    ldrh    r1, [r11, #S_WZ]            @ BIT n,(HL): bits 3 and 5 from MEMPTR's high byte
    mov     r1, r1, lsr #8
    BITFLAGS
    NEXT    12
1:  mov     r3, pc
    b       cb_modify
    mov     r1, r2
    mov     r0, r10
    WR8
    NEXT    15

    .ltorg
@ =============================================================================================
@ DD and FD: IX and IY. The prefix leaves the register's value in r1; the few handlers that
@ write the register back tell which one it is from the prefix byte behind them (SETXY). Forms
@ this file leaves out (IXh/IXl, prefixes that change nothing) go to RunPortable.

    .macro  PREFIX reg
    ldrh    r1, [r11, #\reg]
    ldrb    r0, [r4], #1
    add     lr, lr, #RINC
    add     r2, sp, #1024
    ldr     pc, [r2, r0, lsl #2]
    .endm
op_dd:
    PREFIX  S_IX
op_fd:
    PREFIX  S_IY

@ r0 = IX+d or IY+d (clean), also MEMPTR.
    .macro  IDX
    ldrsb   r0, [r4], #1
    add     r0, r1, r0
    mov     r0, r0, lsl #16
    mov     r0, r0, lsr #16
    strh    r0, [r11, #S_WZ]
    .endm

@ The index register = rs, where the prefix is `back` bytes behind the fetch pointer: DD (bit 5
@ clear) names IX, FD IY, the next register in the state. A handler whose memory access may go
@ through a callback, which may switch the bank the instruction came from, takes the prefix
@ first (XYSEL_SAVE) and writes through the saved selection (SETXY_SAVED).
    .macro  SETXY rs, back
    ldrb    r2, [r4, #-\back]
    and     r2, r2, #0x20
    add     r2, r11, r2, lsr #4
    strh    \rs, [r2, #S_IX]
    .endm
    .macro  XYSEL_SAVE back
    ldrb    r2, [r4, #-\back]
    str     r2, [r11, #O_XYSEL]
    .endm
    .macro  SETXY_SAVED rs
    ldr     r2, [r11, #O_XYSEL]
    and     r2, r2, #0x20
    add     r2, r11, r2, lsr #4
    strh    \rs, [r2, #S_IX]
    .endm

    .irp    dst, 0, 1, 2, 3, 4, 5, 7
xy_ld_\dst\()_6:
    IDX
    RD8
    SET8    \dst, r0
    NEXT    19
xy_ld_6_\dst:
    IDX
    GET8    \dst, r1
    WR8
    NEXT    19
    .endr
    .ltorg
xy_ldn_6:
    IDX
    IMM8    r1
    WR8
    NEXTS   19

    .irp    k, add, adc, sub, sbc, and, xor, or, cp
xy_\k\()_6:
    IDX
    RD8
    mov     r1, r0
    subs    r5, r5, #19
    b       alu_\k
    .endr

xy_ld_nn:
    IMM16   r0
    SETXY   r0, 4
    NEXTS   14
xy_push:
    PUSH
    NEXTS   15
xy_pop:
    XYSEL_SAVE 2
    POP
    SETXY_SAVED r0
    NEXTS   14
xy_jp:
    mov     r0, r1
    sub     r5, r5, #8
    b       jump
@ DD CB d op: neither d nor op counts as an opcode fetch. The shifts, RES and SET also copy the
@ result into the register the opcode names (but for 6).
xy_cb:
    IDX
    ldrb    r1, [r4], #1
    str     r1, [r11, #O_CBOP]
    RD8
    mov     r2, r0
    mov     r0, r1
    and     r3, r0, #0xC0
    cmp     r3, #0x40
    beq     1f
    mov     r3, pc
    b       cb_modify
    mov     r1, r2
    ldrh    r0, [r11, #S_WZ]
    WR8
    mov     r2, r1
    ldr     r0, [r11, #O_CBOP]
    and     r1, r0, #7
    cmp     r1, #6
    adrne   r3, xy_next23
    bne     set8_r2
xy_next23:
    NEXT    23
1:  ldrh    r1, [r11, #S_WZ]            @ BIT n,(IX+d): bits 3 and 5 from the address's high byte
    mov     r1, r1, lsr #8
    BITFLAGS
    NEXT    20

    .ltorg

xy_inc_6:
    IDX
    RD8
    INC8    r1, r0
    ldrh    r0, [r11, #S_WZ]
    WR8
    NEXT    23
xy_dec_6:
    IDX
    RD8
    DEC8    r1, r0
    ldrh    r0, [r11, #S_WZ]
    WR8
    NEXT    23

op_ld_a_nn:                             @ LD A,(nn): MEMPTR = nn + 1
    IMM16   r0
    add     r1, r0, #1
    strh    r1, [r11, #S_WZ]
    RD8
    mov     r6, r0
    NEXT    13

op_ld_a_bc:                             @ LD A,(BC): MEMPTR = BC + 1
    add     r1, r8, #1
    strh    r1, [r11, #S_WZ]
    mov     r0, r8
    RD8
    mov     r6, r0
    NEXT    7
op_ld_a_de:
    add     r1, r9, #1
    strh    r1, [r11, #S_WZ]
    mov     r0, r9
    RD8
    mov     r6, r0
    NEXT    7
op_ldn_6:
    IMM8    r1
    mov     r0, r10
    WR8
    NEXT    10

op_inc_6:
    mov     r0, r10
    RD8
    INC8    r1, r0
    mov     r0, r10
    WR8
    NEXT    11
op_dec_6:
    mov     r0, r10
    RD8
    DEC8    r1, r0
    mov     r0, r10
    WR8
    NEXT    11

op_rlca:
    mov     r0, r6, lsr #7
    orr     r6, r0, r6, lsl #1
    and     r6, r6, #0xFF
    and     r7, r7, #FS | FZ | FPV
    and     r0, r6, #FX | FY | FC
    orr     r7, r7, r0
    NEXT    4
op_rrca:
    and     r1, r6, #1
    mov     r6, r6, lsr #1
    orr     r6, r6, r1, lsl #7
    and     r7, r7, #FS | FZ | FPV
    and     r0, r6, #FX | FY
    orr     r7, r7, r0
    orr     r7, r7, r1
    NEXT    4
op_rla:
    and     r1, r7, #FC
    mov     r0, r6, lsr #7
    orr     r6, r1, r6, lsl #1
    and     r6, r6, #0xFF
    and     r7, r7, #FS | FZ | FPV
    and     r1, r6, #FX | FY
    orr     r7, r7, r1
    orr     r7, r7, r0
    NEXT    4
op_rra:
    and     r1, r7, #FC
    and     r0, r6, #1
    mov     r6, r6, lsr #1
    orr     r6, r6, r1, lsl #7
    and     r7, r7, #FS | FZ | FPV
    and     r1, r6, #FX | FY
    orr     r7, r7, r1
    orr     r7, r7, r0
    NEXT    4
op_push_af:
    orr     r1, r7, r6, lsl #8
    PUSH
    NEXT    11
op_pop_af:
    POP
    and     r7, r0, #0xFF
    mov     r6, r0, lsr #8
    NEXT    10

op_ld_nn_a:                             @ LD (nn),A: MEMPTR = A, nn + 1
    IMM16   r0
    mov     r1, r6
    WR8
    add     r2, r0, #1
    and     r2, r2, #0xFF
    orr     r2, r2, r6, lsl #8
    strh    r2, [r11, #S_WZ]
    NEXT    13
op_ld_bc_a:                             @ LD (BC),A: MEMPTR = A, C + 1
    mov     r0, r8
    mov     r1, r6
    WR8
    add     r2, r8, #1
    and     r2, r2, #0xFF
    orr     r2, r2, r6, lsl #8
    strh    r2, [r11, #S_WZ]
    NEXT    7
op_ld_de_a:
    mov     r0, r9
    mov     r1, r6
    WR8
    add     r2, r9, #1
    and     r2, r2, #0xFF
    orr     r2, r2, r6, lsl #8
    strh    r2, [r11, #S_WZ]
    NEXT    7
xy_ld_mem_xy:                           @ LD (nn),IX: MEMPTR = nn + 1
    IMM16   r0
    WR16
    add     r2, r0, #1
    strh    r2, [r11, #S_WZ]
    NEXT    20
xy_ld_xy_mem:
    IMM16   r0
    XYSEL_SAVE 4
    add     r1, r0, #1
    strh    r1, [r11, #S_WZ]
    RD16
    SETXY_SAVED r0
    NEXT    20
xy_inc:
    add     r1, r1, #1
    bic     r1, r1, #0x10000
    SETXY   r1, 2
    NEXT    10
    .ltorg
xy_dec:
    sub     r1, r1, #1
    mov     r1, r1, lsl #16
    mov     r1, r1, lsr #16
    SETXY   r1, 2
    NEXT    10
xy_add_0:
    mov     r3, r1
    ADD16   r3, r8
    SETXY   r3, 2
    NEXT    15
xy_add_1:
    mov     r3, r1
    ADD16   r3, r9
    SETXY   r3, 2
    NEXT    15
xy_add_2:
    mov     r3, r1
    ADD16   r3, r3
    SETXY   r3, 2
    NEXT    15
xy_add_3:
    mov     r3, r1
    GETSP   r1
    ADD16   r3, r1
    SETXY   r3, 2
    NEXT    15
op_add_hl_3:
    GETSP   r3
    ADD16   r10, r3
    NEXT    11

@ =============================================================================================
@ ED: the block moves and compares' move half, 16-bit ADC/SBC, the 16-bit loads, NEG, OUTI and
@ OTIR; the rest goes to RunPortable.

@ LDI LDD LDIR LDDR. The repeating forms go round here while the budget lasts.
    .macro  LDBLOCK step, repeat, far=0
    .if \repeat
    ldr     r1, [r11, #O_PCBASE]
    sub     r1, r4, r1
    sub     r1, r1, #2                  @ the instruction's own address
    mov     r1, r1, lsl #16
    mov     r1, r1, lsr #16
    str     r1, [r11, #O_R16ADDR]
    cmp     r8, #1                      @ every round but the last sets MEMPTR = the address + 1
    addne   r0, r1, #1
    strneh  r0, [r11, #S_WZ]
    .endif
    @ The bytes one after the other; the flags only for the last one that moves in this run.
1:
    .if \step > 0 && \repeat
    @ LDIR: the rounds that stay inside HL's and DE's pages (both mapped), leave BC above 0 and
    @ fit the budget, copied in one go; the registers, the cycles (21 a round) and R (2 a
    @ round) as the rounds one by one would leave them. The rest, one round at a time below.
    add     r0, r5, #20
    ldr     r1, =0xC30C30C4             @ 2^36 / 21, rounded up
    umull   r2, r3, r0, r1
    mov     r3, r3, lsr #4              @ ceil(budget / 21): the rounds the budget allows
    mov     r0, r10, lsl #22
    mov     r0, r0, lsr #22
    rsb     r0, r0, #1024               @ the bytes left in HL's page
    cmp     r0, r3
    movlo   r3, r0
    mov     r0, r9, lsl #22
    mov     r0, r0, lsr #22
    rsb     r0, r0, #1024               @ in DE's
    cmp     r0, r3
    movlo   r3, r0
    sub     r0, r8, #1                  @ BC less 1 (BC = 0: 65535), so BC never ends in here
    cmp     r0, r3
    movlo   r3, r0
    cmp     r3, #4
    blo     3f
    mov     r2, r10, lsr #10
    ldr     r0, [r11, r2, lsl #2]
    cmp     r0, #0
    beq     3f
    mov     r2, r9, lsr #10
    add     r2, r2, #64
    ldr     r1, [r11, r2, lsl #2]
    cmp     r1, #0
    beq     3f
    add     r0, r0, r10
    add     r1, r1, r9
    add     r10, r10, r3
    bic     r10, r10, #0x10000
    add     r9, r9, r3
    bic     r9, r9, #0x10000
    sub     r8, r8, r3
    mov     r8, r8, lsl #16
    mov     r8, r8, lsr #16
    add     r2, r3, r3, lsl #2
    add     r2, r2, r3, lsl #4
    sub     r5, r5, r2                  @ 21 cycles a round
    add     lr, lr, r3, lsl #25
4:  ldrb    r2, [r0], #1
    strb    r2, [r1], #1
    subs    r3, r3, #1
    bne     4b
    cmp     r5, #0
    bgt     1b
    sub     lr, lr, #2 * RINC           @ the last round does not go round again
    b       6f
3:
    .endif
    mov     r0, r10
    RD8
    mov     r1, r0
    mov     r0, r9
    WR8
    .if \step > 0
    add     r10, r10, #1
    bic     r10, r10, #0x10000
    add     r9, r9, #1
    bic     r9, r9, #0x10000
    .else
    sub     r10, r10, #1
    mov     r10, r10, lsl #16
    mov     r10, r10, lsr #16
    sub     r9, r9, #1
    mov     r9, r9, lsl #16
    mov     r9, r9, lsr #16
    .endif
    sub     r8, r8, #1
    mov     r8, r8, lsl #16
    movs    r8, r8, lsr #16
    .if \repeat
    beq     2f
    subs    r5, r5, #21
    addgt   lr, lr, #2 * RINC           @ going round again fetches ED and its opcode again
    bgt     1b
    @ The budget ends with BC not 0: P/V set, bits 3 and 5 from the instruction's address
    @ (bits 11 and 13), and PC back on the instruction.
6:  and     r7, r7, #FS | FZ | FC
    orr     r7, r7, #FPV
    ldr     r1, [r11, #O_R16ADDR]
    mov     r0, r1, lsr #8
    and     r0, r0, #FX | FY
    orr     r7, r7, r0
    sub     r4, r4, #2
    .if \far
    NEXTFAR
    .else
    NEXT0
    .endif
2:
    .endif
    and     r7, r7, #FS | FZ | FC
    orrne   r7, r7, #FPV
    add     r1, r1, r6                  @ n = the byte + A: bit 3 of n, and bit 1 as bit 5
    and     r0, r1, #FX
    orr     r7, r7, r0
    and     r0, r1, #0x02
    orr     r7, r7, r0, lsl #4
    .if \far
    NEXTFAR 16
    .else
    NEXT    16
    .endif
    .endm

ed_ldi:
    LDBLOCK 1, 0
ed_ldir:
    LDBLOCK 1, 1

@ SBC HL,rv and ADC HL,rv: MEMPTR = HL + 1.
    .macro  SBC16 rv
    add     r2, r10, #1
    strh    r2, [r11, #S_WZ]
    and     r0, r7, #FC
    sub     r0, r10, r0
    sub     r0, r0, \rv
    eor     r2, r10, \rv
    eor     r3, r2, r0
    and     r7, r3, #0x1000
    mov     r7, r7, lsr #8
    tst     r0, #0x10000
    orrne   r7, r7, #FC
    eor     r3, r10, r0
    and     r3, r3, r2
    and     r3, r3, #0x8000
    orr     r7, r7, r3, lsr #13
    orr     r7, r7, #FN
    .endm
    .macro  ADC16 rv
    add     r2, r10, #1
    strh    r2, [r11, #S_WZ]
    and     r0, r7, #FC
    add     r0, r10, r0
    add     r0, r0, \rv
    eor     r2, r10, \rv
    eor     r3, r2, r0
    and     r7, r3, #0x1000
    mov     r7, r7, lsr #8
    orr     r7, r7, r0, lsr #16
    eor     r3, r10, r0
    bic     r3, r3, r2
    and     r3, r3, #0x8000
    orr     r7, r7, r3, lsr #13
    .endm
@ The common end: HL = the result's low 16 bits, S Z and bits 5 and 3 from it.
hl16_end:
    mov     r0, r0, lsl #16
    movs    r0, r0, lsr #16
    orreq   r7, r7, #FZ
    and     r3, r0, #0xA800
    orr     r7, r7, r3, lsr #8
    mov     r10, r0
    NEXT    15
    .ltorg

ed_sbc_0:
    SBC16   r8
    b       hl16_end
ed_sbc_1:
    SBC16   r9
    b       hl16_end
@ LD (nn),rr and LD rr,(nn): MEMPTR = nn + 1.
    .irp    p, 0, 1, 2, 3
ed_st_\p:
    IMM16   r0
    GET16   \p, r1
    WR16
    add     r2, r0, #1
    strh    r2, [r11, #S_WZ]
    NEXT    20
ed_ld_\p:
    IMM16   r0
    add     r1, r0, #1
    strh    r1, [r11, #S_WZ]
    RD16
    SET16   \p, r0
    NEXT    20
    .endr

@ OUTI OUTD OTIR OTDR: B counts down before it goes out on the bus as the port's high byte.
    .macro  OUTBLOCK step, repeat, far=0
    .if \repeat
    ldr     r1, [r11, #O_PCBASE]
    sub     r1, r4, r1
    sub     r1, r1, #2
    mov     r1, r1, lsl #16
    mov     r1, r1, lsr #16
    str     r1, [r11, #O_R16ADDR]        @ the instruction's own address
    .endif
1:
    .if \repeat
    mov     r0, r8, lsr #8
    cmp     r0, #1
    subne   r5, r5, #21
    subeq   r5, r5, #16
    .else
    sub     r5, r5, #16
    .endif
    mov     r0, r10
    RD8
    str     r0, [r11, #O_R16LO]          @ the byte
    sub     r8, r8, #0x100
    mov     r8, r8, lsl #16
    mov     r8, r8, lsr #16
    .if \step > 0
    add     r1, r8, #1
    .else
    sub     r1, r8, #1
    .endif
    strh    r1, [r11, #S_WZ]
    mov     r1, r8
    mov     r2, r0
    mov     r3, pc
    .if \far
    ldr     pc, =port_out
    .else
    b       port_out
    .endif
    .if \step > 0
    add     r10, r10, #1
    bic     r10, r10, #0x10000
    .else
    sub     r10, r10, #1
    mov     r10, r10, lsl #16
    mov     r10, r10, lsr #16
    .endif
    @ F: S Z 5 3 from B, N from the byte's bit 7, H and C from byte + L > 255, P/V the
    @ parity of ((byte + L) & 7) ^ B.
    ldr     r0, [r11, #O_R16LO]
    and     r1, r10, #0xFF
    add     r1, r1, r0                  @ k
    mov     r2, r8, lsr #8
    FLAGS   r7, r2, T_SZ
    tst     r0, #0x80
    orrne   r7, r7, #FN
    cmp     r1, #0xFF
    orrhi   r7, r7, #FH | FC
    and     r1, r1, #7
    eor     r1, r1, r2
    FLAGS   r3, r1, T_SZP
    and     r3, r3, #FPV
    orr     r7, r7, r3
    .if \repeat
    cmp     r2, #0
    beq     3f
    mov     r3, pc
    .if \far
    ldr     pc, =repeat_io_flags
    .else
    b       repeat_io_flags
    .endif
    cmp     r5, #0
    addgt   lr, lr, #2 * RINC
    bgt     1b
    sub     r4, r4, #2
    .if \far
    NEXTFAR
    .else
    NEXT0
    .endif
3:
    .endif
    .if \far
    NEXTFAR
    .else
    NEXT0
    .endif
    .endm

@ INIR/OTIR and the rest going round: bits 5 and 3 from the instruction's address (saved), H
@ and P/V from B as the ALU sees it during the repeat cycles. r0 = the byte; to r3.
repeat_io_flags:
    ldr     r1, [r11, #O_R16ADDR]
    bic     r7, r7, #FX | FY
    mov     r1, r1, lsr #8
    and     r1, r1, #FX | FY
    orr     r7, r7, r1
    mov     r2, r8, lsr #8              @ B
    tst     r7, #FC
    beq     2f
    bic     r7, r7, #FH
    tst     r0, #0x80
    beq     1f
    sub     r1, r2, #1
    tst     r2, #0x0F
    orreq   r7, r7, #FH
    b       3f
1:  add     r1, r2, #1
    and     r0, r2, #0x0F
    cmp     r0, #0x0F
    orreq   r7, r7, #FH
    b       3f
2:  mov     r1, r2
3:  and     r1, r1, #7
    FLAGS   r1, r1, T_SZP
    tst     r1, #FPV
    eoreq   r7, r7, #FPV
    mov     pc, r3

ed_outi:
    OUTBLOCK 1, 0
ed_otir:
    OUTBLOCK 1, 1

    .ltorg

op_ex_sp_hl:                            @ EX (SP),HL: MEMPTR = the new HL
    GETSP   r0
    RD16
    mov     r1, r10
    mov     r10, r0
    strh    r0, [r11, #S_WZ]
    GETSP   r0
    WR16    slow_push16
    sub     r5, r5, #19
    NEXTFAR
op_ed:
    ldrb    r0, [r4], #1
    add     lr, lr, #RINC
    add     r2, sp, #2048
    ldrb    r1, [r2, r0]
    add     r2, r2, #256
    ldr     pc, [r2, r1, lsl #2]

    .ltorg


@ The rarer handlers in ROM (ARM code, reached and left through absolute addresses).
    .section .text.z80arm_rare, "ax", %progbits
    .align  2
ed_outd:                                @ the decrementing block outputs: rare in games
    OUTBLOCK -1, 0, 1
ed_otdr:
    OUTBLOCK -1, 1, 1
    .ltorg
ed_ldd:                                 @ and the decrementing block moves
    LDBLOCK -1, 0, 1
    .ltorg
ed_lddr:
    LDBLOCK -1, 1, 1
    .ltorg
ed_sbc_2:
    mov     r1, r10
    SBC16   r1
    ldr     pc, =hl16_end
    .ltorg
ed_sbc_3:
    GETSP   r1
    SBC16   r1
    ldr     pc, =hl16_end
    .ltorg
@ DAA, exact for every A and flag combination.
op_daa:
    and     r0, r6, #0x0F               @ the low digit
    mov     r1, #0                      @ what is added or taken away
    cmp     r0, #9
    movhi   r1, #6
    tst     r7, #FH
    movne   r1, #6
    and     r2, r7, #FC
    cmp     r6, #0x99
    movhi   r2, #FC
    cmp     r2, #0
    orrne   r1, r1, #0x60
    tst     r7, #FN
    bne     1f
    add     r6, r6, r1                  @ after an addition: H if the low digit carried
    cmp     r0, #9
    movhi   r3, #FH
    movls   r3, #0
    b       2f
1:  sub     r6, r6, r1                  @ after a subtraction: H if it borrowed
    mov     r3, #0
    tst     r7, #FH
    beq     2f
    cmp     r0, #6
    movlo   r3, #FH
2:  and     r6, r6, #0xFF
    and     r7, r7, #FN
    orr     r7, r7, r2
    orr     r7, r7, r3
    FLAGS   r0, r6, T_SZP
    orr     r7, r7, r0
    NEXTFAR 4

ed_adc_0:
    ADC16   r8
    ldr     pc, =hl16_end
    .ltorg
ed_adc_1:
    ADC16   r9
    ldr     pc, =hl16_end
    .ltorg
ed_adc_2:
    mov     r1, r10
    ADC16   r1
    ldr     pc, =hl16_end
    .ltorg
ed_adc_3:
    GETSP   r1
    ADC16   r1
    ldr     pc, =hl16_end

    .ltorg
ed_neg:
    mov     r1, r6
    mov     r6, #0
    subs    r5, r5, #8
    ldr     pc, =alu_sub

    .ltorg
op_exx:
    ldrh    r0, [r11, #S_C + 8]
    ldrh    r1, [r11, #S_E + 8]
    ldrh    r2, [r11, #S_L + 8]
    strh    r8, [r11, #S_C + 8]
    strh    r9, [r11, #S_E + 8]
    strh    r10, [r11, #S_L + 8]
    mov     r8, r0
    mov     r9, r1
    mov     r10, r2
    NEXTFAR 4
op_ex_af:
    ldrb    r0, [r11, #S_A + 8]
    ldrb    r1, [r11, #S_F + 8]
    strb    r6, [r11, #S_A + 8]
    strb    r7, [r11, #S_F + 8]
    mov     r6, r0
    mov     r7, r1
    NEXTFAR 4
op_cpl:
    eor     r6, r6, #0xFF
    and     r7, r7, #FS | FZ | FPV | FC
    orr     r7, r7, #FH | FN
    and     r0, r6, #FX | FY
    orr     r7, r7, r0
    NEXTFAR 4
op_scf:
    and     r7, r7, #FS | FZ | FPV
    orr     r7, r7, #FC
    and     r0, r6, #FX | FY
    orr     r7, r7, r0
    NEXTFAR 4
op_ccf:                                 @ H takes the old carry
    and     r1, r7, #FC
    and     r7, r7, #FS | FZ | FPV | FC
    orr     r7, r7, r1, lsl #4
    and     r0, r6, #FX | FY
    orr     r7, r7, r0
    eor     r7, r7, #FC
    NEXTFAR 4

op_ld_sp_hl:
    SETSP   r10
    NEXTFAR 6

xy_ld_sp:
    SETSP   r1
    NEXTFAR 10
xy_ex_sp:                               @ EX (SP),IX: MEMPTR = the new IX
    XYSEL_SAVE 2
    GETSP   r0
    RD16
    strh    r0, [r11, #S_WZ]
    GETSP   r0
    WR16    slow_push16
    ldrh    r0, [r11, #S_WZ]
    SETXY_SAVED r0
    NEXTFAR 23

op_ldrr_3:
    IMM16   r0
    SETSP   r0
    NEXTFAR 10

op_incrr_3:                             @ going round 64 KiB carries into lr's bits 23-16
    add     lr, lr, #1
    NEXTFAR 6
op_decrr_3:
    sub     lr, lr, #1
    NEXTFAR 6

    .section .iwram.z80arm, "ax", %progbits
    .align  2
@ =============================================================================================
@ Tables: the flags (sp - 1024 ...), then the handlers of the unprefixed, DD/FD and ED opcodes
@ (sp, sp + 1024; the ED group through a byte map at sp + 2048). NOP is LD B,B: 4 cycles that
@ change nothing.

    .section .iwram.z80arm.tables, "a", %progbits
    .align  2
@ S, Z, 5, 3 of a result
    .byte   0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
@ and P/V as even parity
    .byte   0x44, 0x00, 0x00, 0x04, 0x00, 0x04, 0x04, 0x00, 0x08, 0x0C, 0x0C, 0x08, 0x0C, 0x08, 0x08, 0x0C
    .byte   0x00, 0x04, 0x04, 0x00, 0x04, 0x00, 0x00, 0x04, 0x0C, 0x08, 0x08, 0x0C, 0x08, 0x0C, 0x0C, 0x08
    .byte   0x20, 0x24, 0x24, 0x20, 0x24, 0x20, 0x20, 0x24, 0x2C, 0x28, 0x28, 0x2C, 0x28, 0x2C, 0x2C, 0x28
    .byte   0x24, 0x20, 0x20, 0x24, 0x20, 0x24, 0x24, 0x20, 0x28, 0x2C, 0x2C, 0x28, 0x2C, 0x28, 0x28, 0x2C
    .byte   0x00, 0x04, 0x04, 0x00, 0x04, 0x00, 0x00, 0x04, 0x0C, 0x08, 0x08, 0x0C, 0x08, 0x0C, 0x0C, 0x08
    .byte   0x04, 0x00, 0x00, 0x04, 0x00, 0x04, 0x04, 0x00, 0x08, 0x0C, 0x0C, 0x08, 0x0C, 0x08, 0x08, 0x0C
    .byte   0x24, 0x20, 0x20, 0x24, 0x20, 0x24, 0x24, 0x20, 0x28, 0x2C, 0x2C, 0x28, 0x2C, 0x28, 0x28, 0x2C
    .byte   0x20, 0x24, 0x24, 0x20, 0x24, 0x20, 0x20, 0x24, 0x2C, 0x28, 0x28, 0x2C, 0x28, 0x2C, 0x2C, 0x28
    .byte   0x80, 0x84, 0x84, 0x80, 0x84, 0x80, 0x80, 0x84, 0x8C, 0x88, 0x88, 0x8C, 0x88, 0x8C, 0x8C, 0x88
    .byte   0x84, 0x80, 0x80, 0x84, 0x80, 0x84, 0x84, 0x80, 0x88, 0x8C, 0x8C, 0x88, 0x8C, 0x88, 0x88, 0x8C
    .byte   0xA4, 0xA0, 0xA0, 0xA4, 0xA0, 0xA4, 0xA4, 0xA0, 0xA8, 0xAC, 0xAC, 0xA8, 0xAC, 0xA8, 0xA8, 0xAC
    .byte   0xA0, 0xA4, 0xA4, 0xA0, 0xA4, 0xA0, 0xA0, 0xA4, 0xAC, 0xA8, 0xA8, 0xAC, 0xA8, 0xAC, 0xAC, 0xA8
    .byte   0x84, 0x80, 0x80, 0x84, 0x80, 0x84, 0x84, 0x80, 0x88, 0x8C, 0x8C, 0x88, 0x8C, 0x88, 0x88, 0x8C
    .byte   0x80, 0x84, 0x84, 0x80, 0x84, 0x80, 0x80, 0x84, 0x8C, 0x88, 0x88, 0x8C, 0x88, 0x8C, 0x8C, 0x88
    .byte   0xA0, 0xA4, 0xA4, 0xA0, 0xA4, 0xA0, 0xA0, 0xA4, 0xAC, 0xA8, 0xA8, 0xAC, 0xA8, 0xAC, 0xAC, 0xA8
    .byte   0xA4, 0xA0, 0xA0, 0xA4, 0xA0, 0xA4, 0xA4, 0xA0, 0xA8, 0xAC, 0xAC, 0xA8, 0xAC, 0xA8, 0xA8, 0xAC
@ INC: S Z 5 3, H from a carry out of bit 3, P/V for 7Fh -> 80h
    .byte   0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x30, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x30, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08
    .byte   0x30, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x30, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28, 0x28
    .byte   0x94, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0x90, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0xB0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0xB0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0x90, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0x90, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88
    .byte   0xB0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
    .byte   0xB0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8, 0xA8
@ DEC: the same with N, H from a borrow into bit 3, P/V for 80h -> 7Fh
    .byte   0x42, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x1A
    .byte   0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x1A
    .byte   0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x3A
    .byte   0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x3A
    .byte   0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x1A
    .byte   0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x1A
    .byte   0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x3A
    .byte   0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x22, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x2A, 0x3E
    .byte   0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x9A
    .byte   0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x9A
    .byte   0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xBA
    .byte   0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xBA
    .byte   0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x9A
    .byte   0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x82, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x8A, 0x9A
    .byte   0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xBA
    .byte   0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xA2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xBA
z80_ops:
    .word   op_ld_0_0, op_ldrr_0, op_ld_bc_a, op_incrr_0   @ 00
    .word   op_inc_0, op_dec_0, op_ldn_0, op_rlca   @ 04
    .word   op_ex_af, op_add_hl_0, op_ld_a_bc, op_decrr_0   @ 08
    .word   op_inc_1, op_dec_1, op_ldn_1, op_rrca   @ 0C
    .word   op_djnz, op_ldrr_1, op_ld_de_a, op_incrr_1   @ 10
    .word   op_inc_2, op_dec_2, op_ldn_2, op_rla   @ 14
    .word   op_jr, op_add_hl_1, op_ld_a_de, op_decrr_1   @ 18
    .word   op_inc_3, op_dec_3, op_ldn_3, op_rra   @ 1C
    .word   op_jr_0, op_ldrr_2, op_ld_nn_hl, op_incrr_2   @ 20
    .word   op_inc_4, op_dec_4, op_ldn_4, op_daa   @ 24
    .word   op_jr_1, op_add_hl_2, op_ld_hl_nn, op_decrr_2   @ 28
    .word   op_inc_5, op_dec_5, op_ldn_5, op_cpl   @ 2C
    .word   op_jr_2, op_ldrr_3, op_ld_nn_a, op_incrr_3   @ 30
    .word   op_inc_6, op_dec_6, op_ldn_6, op_scf   @ 34
    .word   op_jr_3, op_add_hl_3, op_ld_a_nn, op_decrr_3   @ 38
    .word   op_inc_7, op_dec_7, op_ldn_7, op_ccf   @ 3C
    .word   op_ld_0_0, op_ld_0_1, op_ld_0_2, op_ld_0_3   @ 40
    .word   op_ld_0_4, op_ld_0_5, op_ld_0_6, op_ld_0_7   @ 44
    .word   op_ld_1_0, op_ld_1_1, op_ld_1_2, op_ld_1_3   @ 48
    .word   op_ld_1_4, op_ld_1_5, op_ld_1_6, op_ld_1_7   @ 4C
    .word   op_ld_2_0, op_ld_2_1, op_ld_2_2, op_ld_2_3   @ 50
    .word   op_ld_2_4, op_ld_2_5, op_ld_2_6, op_ld_2_7   @ 54
    .word   op_ld_3_0, op_ld_3_1, op_ld_3_2, op_ld_3_3   @ 58
    .word   op_ld_3_4, op_ld_3_5, op_ld_3_6, op_ld_3_7   @ 5C
    .word   op_ld_4_0, op_ld_4_1, op_ld_4_2, op_ld_4_3   @ 60
    .word   op_ld_4_4, op_ld_4_5, op_ld_4_6, op_ld_4_7   @ 64
    .word   op_ld_5_0, op_ld_5_1, op_ld_5_2, op_ld_5_3   @ 68
    .word   op_ld_5_4, op_ld_5_5, op_ld_5_6, op_ld_5_7   @ 6C
    .word   op_ld_6_0, op_ld_6_1, op_ld_6_2, op_ld_6_3   @ 70
    .word   op_ld_6_4, op_ld_6_5, op_portable, op_ld_6_7   @ 74
    .word   op_ld_7_0, op_ld_7_1, op_ld_7_2, op_ld_7_3   @ 78
    .word   op_ld_7_4, op_ld_7_5, op_ld_7_6, op_ld_7_7   @ 7C
    .word   op_add_0, op_add_1, op_add_2, op_add_3   @ 80
    .word   op_add_4, op_add_5, op_add_6, op_add_7   @ 84
    .word   op_adc_0, op_adc_1, op_adc_2, op_adc_3   @ 88
    .word   op_adc_4, op_adc_5, op_adc_6, op_adc_7   @ 8C
    .word   op_sub_0, op_sub_1, op_sub_2, op_sub_3   @ 90
    .word   op_sub_4, op_sub_5, op_sub_6, op_sub_7   @ 94
    .word   op_sbc_0, op_sbc_1, op_sbc_2, op_sbc_3   @ 98
    .word   op_sbc_4, op_sbc_5, op_sbc_6, op_sbc_7   @ 9C
    .word   op_and_0, op_and_1, op_and_2, op_and_3   @ A0
    .word   op_and_4, op_and_5, op_and_6, op_and_7   @ A4
    .word   op_xor_0, op_xor_1, op_xor_2, op_xor_3   @ A8
    .word   op_xor_4, op_xor_5, op_xor_6, op_xor_7   @ AC
    .word   op_or_0, op_or_1, op_or_2, op_or_3   @ B0
    .word   op_or_4, op_or_5, op_or_6, op_or_7   @ B4
    .word   op_cp_0, op_cp_1, op_cp_2, op_cp_3   @ B8
    .word   op_cp_4, op_cp_5, op_cp_6, op_cp_7   @ BC
    .word   op_ret_0, op_pop_0, op_jp_0, op_jp   @ C0
    .word   op_call_0, op_push_0, op_add_n, op_rst_0x00   @ C4
    .word   op_ret_1, op_ret, op_jp_1, op_cb   @ C8
    .word   op_call_1, op_call, op_adc_n, op_rst_0x08   @ CC
    .word   op_ret_2, op_pop_1, op_jp_2, op_out_n_a   @ D0
    .word   op_call_2, op_push_1, op_sub_n, op_rst_0x10   @ D4
    .word   op_ret_3, op_exx, op_jp_3, op_in_a_n   @ D8
    .word   op_call_3, op_dd, op_sbc_n, op_rst_0x18   @ DC
    .word   op_ret_4, op_pop_2, op_jp_4, op_ex_sp_hl   @ E0
    .word   op_call_4, op_push_2, op_and_n, op_rst_0x20   @ E4
    .word   op_ret_5, op_jp_hl, op_jp_5, op_ex_de_hl   @ E8
    .word   op_call_5, op_ed, op_xor_n, op_rst_0x28   @ EC
    .word   op_ret_6, op_pop_af, op_jp_6, op_portable   @ F0
    .word   op_call_6, op_push_af, op_or_n, op_rst_0x30   @ F4
    .word   op_ret_7, op_ld_sp_hl, op_jp_7, op_portable   @ F8
    .word   op_call_7, op_fd, op_cp_n, op_rst_0x38   @ FC
z80_ops_xy:
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 00
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 04
    .word   op_portable2, xy_add_0, op_portable2, op_portable2   @ 08
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 0C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 10
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 14
    .word   op_portable2, xy_add_1, op_portable2, op_portable2   @ 18
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 1C
    .word   op_portable2, xy_ld_nn, xy_ld_mem_xy, xy_inc   @ 20
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 24
    .word   op_portable2, xy_add_2, xy_ld_xy_mem, xy_dec   @ 28
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 2C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 30
    .word   xy_inc_6, xy_dec_6, xy_ldn_6, op_portable2   @ 34
    .word   op_portable2, xy_add_3, op_portable2, op_portable2   @ 38
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 3C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 40
    .word   op_portable2, op_portable2, xy_ld_0_6, op_portable2   @ 44
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 48
    .word   op_portable2, op_portable2, xy_ld_1_6, op_portable2   @ 4C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 50
    .word   op_portable2, op_portable2, xy_ld_2_6, op_portable2   @ 54
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 58
    .word   op_portable2, op_portable2, xy_ld_3_6, op_portable2   @ 5C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 60
    .word   op_portable2, op_portable2, xy_ld_4_6, op_portable2   @ 64
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 68
    .word   op_portable2, op_portable2, xy_ld_5_6, op_portable2   @ 6C
    .word   xy_ld_6_0, xy_ld_6_1, xy_ld_6_2, xy_ld_6_3   @ 70
    .word   xy_ld_6_4, xy_ld_6_5, op_portable2, xy_ld_6_7   @ 74
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 78
    .word   op_portable2, op_portable2, xy_ld_7_6, op_portable2   @ 7C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 80
    .word   op_portable2, op_portable2, xy_add_6, op_portable2   @ 84
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 88
    .word   op_portable2, op_portable2, xy_adc_6, op_portable2   @ 8C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 90
    .word   op_portable2, op_portable2, xy_sub_6, op_portable2   @ 94
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ 98
    .word   op_portable2, op_portable2, xy_sbc_6, op_portable2   @ 9C
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ A0
    .word   op_portable2, op_portable2, xy_and_6, op_portable2   @ A4
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ A8
    .word   op_portable2, op_portable2, xy_xor_6, op_portable2   @ AC
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ B0
    .word   op_portable2, op_portable2, xy_or_6, op_portable2   @ B4
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ B8
    .word   op_portable2, op_portable2, xy_cp_6, op_portable2   @ BC
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ C0
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ C4
    .word   op_portable2, op_portable2, op_portable2, xy_cb   @ C8
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ CC
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ D0
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ D4
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ D8
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ DC
    .word   op_portable2, xy_pop, op_portable2, xy_ex_sp   @ E0
    .word   op_portable2, xy_push, op_portable2, op_portable2   @ E4
    .word   op_portable2, xy_jp, op_portable2, op_portable2   @ E8
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ EC
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ F0
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ F4
    .word   op_portable2, xy_ld_sp, op_portable2, op_portable2   @ F8
    .word   op_portable2, op_portable2, op_portable2, op_portable2   @ FC
z80_ops_ed:                             @ sp + 2048: each ED opcode's handler number
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 00
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 10
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 20
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 30
    .byte    0,  0,  1,  2,  3,  0,  0,  0,  0,  0,  4,  5,  0,  0,  0,  0   @ 40
    .byte    0,  0,  6,  7,  0,  0,  0,  0,  0,  0,  8,  9,  0,  0,  0,  0   @ 50
    .byte    0,  0, 10, 11,  0,  0,  0,  0,  0,  0, 12, 13,  0,  0,  0,  0   @ 60
    .byte    0,  0, 14, 15,  0,  0,  0,  0,  0,  0, 16, 17,  0,  0,  0,  0   @ 70
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 80
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ 90
    .byte   18,  0,  0, 19,  0,  0,  0,  0, 20,  0,  0, 21,  0,  0,  0,  0   @ A0
    .byte   22,  0,  0, 23,  0,  0,  0,  0, 24,  0,  0, 25,  0,  0,  0,  0   @ B0
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ C0
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ D0
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ E0
    .byte    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0   @ F0
z80_ed_handlers:                        @ sp + 2304
    .word   op_portable2, ed_sbc_0, ed_st_0, ed_neg
    .word   ed_adc_0, ed_ld_0, ed_sbc_1, ed_st_1
    .word   ed_adc_1, ed_ld_1, ed_sbc_2, ed_st_2
    .word   ed_adc_2, ed_ld_2, ed_sbc_3, ed_st_3
    .word   ed_adc_3, ed_ld_3, ed_ldi, ed_outi
    .word   ed_ldd, ed_outd, ed_ldir, ed_otir
    .word   ed_lddr, ed_otdr

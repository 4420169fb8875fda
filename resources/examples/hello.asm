; hello.asm: a tiny ColecoVision cartridge that greets with "HELLO FROM RIX".
;
; Rebuild with `make examples` (Debian's z80asm); the assembled bytes are
; committed beside this file as hello.col and a test checks they still match.
;
; What it does: silences the sound chip, sets the video chip to Graphics I,
; clears video memory, loads a handful of glyphs drawn for this program,
; prints one line in the middle of the screen, turns the display on with the
; frame interrupt enabled, and then idles. The frame interrupt (the Z80's NMI)
; acknowledges the video chip and counts frames at FrameCount, so a running
; machine shows signs of life in RAM as well as on screen.

; ---------------------------------------------------------------------------
; Hardware

VdpData:        equ 0xBE        ; video chip: VRAM data
VdpControl:     equ 0xBF        ; video chip: address/register writes, status reads
SoundPort:      equ 0xFF        ; sound chip (write only)

; Video memory layout for Graphics I; each value is what its register holds.
PatternTable:   equ 0x0000      ; R4 = 0x0000 / 0x800
NameTable:      equ 0x1800      ; R2 = 0x1800 / 0x400
SpriteAttrs:    equ 0x1B00      ; R5 = 0x1B00 / 0x80
ColourTable:    equ 0x2000      ; R3 = 0x2000 / 0x40
SpritePatterns: equ 0x3800      ; R6 = 0x3800 / 0x800
VramSize:       equ 0x4000

; R1 bits: 0x80 = 16 KiB VRAM, 0x40 = display enabled, 0x20 = frame interrupt.
R1Setup:        equ 0x80        ; blanked and silent: safe to stream into VRAM
R1Running:      equ 0xE0

; 1 KiB of RAM at 0x7000-0x73FF (mirrored up to 0x7FFF); the stack grows
; down from its top.
RamTop:         equ 0x7400
FrameCount:     equ 0x7000      ; word, bumped by every frame interrupt

; Unused areas handed to the BIOS through the header. This program calls no
; BIOS routine, but keeping the pointers in RAM means none can aim a write
; at something we use.
BiosSpriteTable: equ 0x7010     ; 32 sprites * 4 bytes
BiosSpriteOrder: equ 0x7090     ; 32 bytes
BiosWorkBuffer:  equ 0x70B0
BiosControllers: equ 0x70D0

; Where the greeting goes: row 11 of 24, centred in 32 columns.
MessageRow:     equ 11

; ---------------------------------------------------------------------------
; Cartridge header. The BIOS looks at 0x8000: 55 AA sends it straight to the
; start address without its title screen. It routes the Z80's RST entry
; points, the maskable interrupt and the NMI through the jumps below.

                org 0x8000
                db 0x55, 0xAA
                dw BiosSpriteTable      ; 0x8002
                dw BiosSpriteOrder      ; 0x8004
                dw BiosWorkBuffer       ; 0x8006
                dw BiosControllers      ; 0x8008
                dw Start                ; 0x800A
                jp RstHandler           ; 0x800C: RST 08h
                jp RstHandler           ; 0x800F: RST 10h
                jp RstHandler           ; 0x8012: RST 18h
                jp RstHandler           ; 0x8015: RST 20h
                jp RstHandler           ; 0x8018: RST 28h
                jp RstHandler           ; 0x801B: RST 30h
                jp IrqHandler           ; 0x801E: RST 38h, maskable interrupt
                jp NmiHandler           ; 0x8021: NMI, the video chip's frame interrupt

; ---------------------------------------------------------------------------
; Start-up

Start:
                di                      ; nothing here uses the maskable interrupt
                ld sp, RamTop

                ; The NMI cannot be masked by the CPU, and the handler reads the
                ; status port, which resets the video chip's two-byte write
                ; sequence. So switch the frame interrupt off before anything
                ; else talks to the control port. The chip comes out of reset
                ; with every register zero, so no interrupt can split this pair.
                ld a, R1Setup
                out (VdpControl), a
                ld a, 0x80 | 1
                out (VdpControl), a
                in a, (VdpControl)      ; drop any frame flag already raised

                ; The sound chip powers up with random tones; set all four
                ; channels (three tones and noise) to full attenuation.
                ld hl, SilenceAll
                ld bc, (4 << 8) | SoundPort
                otir

                ; Registers 0..7, written as value then 0x80 | register.
                ld hl, VdpRegisters
                ld b, 0x80
SetRegister:
                ld a, (hl)
                out (VdpControl), a
                ld a, b
                out (VdpControl), a
                inc hl
                inc b
                ld a, b
                cp 0x80 | 8
                jr nz, SetRegister

                ; A known blank slate: all patterns empty, the whole screen
                ; showing pattern 0, which is then blank.
                ld hl, 0
                ld bc, VramSize
                ld e, 0
                call FillVram

                call LoadFont

                ; One colour byte covers eight patterns in Graphics I: white
                ; ink on a transparent ground, so the backdrop shows through.
                ld hl, ColourTable
                ld bc, 32
                ld e, 0xF0
                call FillVram

                ; A Y of 0xD0 ends the sprite list at its first entry, so the
                ; cleared table cannot put 32 sprites in the top-left corner.
                ld hl, SpriteAttrs
                ld bc, 1
                ld e, 0xD0
                call FillVram

                ; Glyphs sit at their ASCII codes, so the text goes in as is.
                ld hl, NameTable + MessageRow * 32 + (32 - MessageLength) / 2
                call SetVramWrite
                ld hl, Message
                ld bc, (MessageLength << 8) | VdpData
                otir

                ld hl, 0
                ld (FrameCount), hl

                ; Display on and frame interrupt on, in one register write.
                ld a, R1Running
                out (VdpControl), a
                ld a, 0x80 | 1
                out (VdpControl), a

                ; All further work happens in the NMI.
Idle:
                jr Idle

; ---------------------------------------------------------------------------
; Interrupts

; Reading the status port clears the frame flag, which releases the video
; chip's interrupt line; the NMI is edge-triggered, so without this read no
; further frame interrupt would arrive.
NmiHandler:
                push af
                push hl
                in a, (VdpControl)
                ld hl, (FrameCount)
                inc hl
                ld (FrameCount), hl
                pop hl
                pop af
                retn

; Never enabled; if it ever fires, return with interrupts as they were.
IrqHandler:
                ei
                reti

; No RST entry point is used; a stray one returns to its caller.
RstHandler:
                ret

; ---------------------------------------------------------------------------
; Video memory helpers

; Point the video chip's address at HL for writing: low byte first, then the
; high six bits with 0x40 marking a write.
SetVramWrite:
                ld a, l
                out (VdpControl), a
                ld a, h
                and 0x3F
                or 0x40
                out (VdpControl), a
                ret

; Write E into BC bytes of VRAM from HL (BC must not be zero). The display is
; blanked while this runs, so the chip keeps up with back-to-back writes.
FillVram:
                call SetVramWrite
FillNext:
                ld a, e
                out (VdpData), a
                dec bc
                ld a, b
                or c
                jr nz, FillNext
                ret

; Copy each glyph of Font to the pattern of its character code (code * 8).
LoadFont:
                ld de, Font
LoadGlyph:
                ld a, (de)
                or a
                ret z                   ; a zero code ends the table
                inc de
                ld l, a
                ld h, 0
                add hl, hl
                add hl, hl
                add hl, hl              ; HL = code * 8 + PatternTable (zero)
                call SetVramWrite
                ex de, hl
                ld bc, (8 << 8) | VdpData
                otir                    ; HL now at the next entry
                ex de, hl
                jr LoadGlyph

; ---------------------------------------------------------------------------
; Data

SilenceAll:
                ; 1 cc 1 1111: latch channel cc's attenuation at 15 (off).
                db 0x9F, 0xBF, 0xDF, 0xFF

VdpRegisters:
                db 0x00                 ; R0: Graphics I, no external video
                db R1Setup              ; R1: stays blanked until the end
                db NameTable / 0x400    ; R2
                db ColourTable / 0x40   ; R3
                db PatternTable / 0x800 ; R4
                db SpriteAttrs / 0x80   ; R5
                db SpritePatterns / 0x800 ; R6
                db 0xF4                 ; R7: backdrop dark blue (4)

Message:
                db "HELLO FROM RIX"
MessageEnd:
MessageLength:  equ MessageEnd - Message

; Our glyphs: the character code, then eight rows, top first, bit 7 leftmost.
; Only the letters the greeting uses; the space is the blank pattern.
Font:
                db 'E'
                db %01111110
                db %01100000
                db %01100000
                db %01111100
                db %01100000
                db %01100000
                db %01111110
                db %00000000

                db 'F'
                db %01111110
                db %01100000
                db %01100000
                db %01111100
                db %01100000
                db %01100000
                db %01100000
                db %00000000

                db 'H'
                db %01100110
                db %01100110
                db %01100110
                db %01111110
                db %01100110
                db %01100110
                db %01100110
                db %00000000

                db 'I'
                db %00111100
                db %00011000
                db %00011000
                db %00011000
                db %00011000
                db %00011000
                db %00111100
                db %00000000

                db 'L'
                db %01100000
                db %01100000
                db %01100000
                db %01100000
                db %01100000
                db %01100000
                db %01111110
                db %00000000

                db 'M'
                db %01100011
                db %01110111
                db %01111111
                db %01101011
                db %01100011
                db %01100011
                db %01100011
                db %00000000

                db 'O'
                db %00111100
                db %01100110
                db %01100110
                db %01100110
                db %01100110
                db %01100110
                db %00111100
                db %00000000

                db 'R'
                db %01111100
                db %01100110
                db %01100110
                db %01111100
                db %01111000
                db %01101100
                db %01100110
                db %00000000

                db 'X'
                db %01100110
                db %01100110
                db %00111100
                db %00011000
                db %00111100
                db %01100110
                db %01100110
                db %00000000

                db 0                    ; end of font

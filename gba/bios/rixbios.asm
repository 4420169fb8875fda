; rixbios.asm: our own 8 KiB BIOS for the ColecoVision, at 0x0000-0x1FFF.
;
; Rebuild with `make bios` (Debian's z80asm): that writes rixbios.rom beside
; this file and regenerates gba/core/RixBios.cpp from it; commit all three.
; A test checks that the committed bytes are what this source assembles to.
;
; What it does: at reset it silences the sound chip, puts the video chip in
; a known state (every register written, display blanked, frame interrupt
; off) and reads the cartridge header. 55 AA starts the cartridge at once;
; AA 55 shows our title screen with the header's text for a couple of
; seconds first; anything else shows "Not a ColecoVision cartridge" and
; stays there. The RST vectors and the NMI go to the cartridge's jumps at
; 0x800C-0x8023, and the jump table at 0x1F61 offers the routines that
; programs call (see README.md for the list and the registers).

; ---------------------------------------------------------------------------
; Hardware

VdpData:        equ 0xBE        ; video chip: VRAM data
VdpControl:     equ 0xBF        ; video chip: address/register writes, status reads
SoundPort:      equ 0xFF        ; sound chip (write only)
KeypadSelect:   equ 0x80        ; any write: both controllers report their keypads
JoystickSelect: equ 0xC0        ; any write: both controllers report their sticks
Controller1:    equ 0xFC        ; controller reads, active low
Controller2:    equ 0xFF

; The cartridge header.
CartHeader:     equ 0x8000      ; 55 AA or AA 55
CartEntry:      equ 0x800A      ; word: where the program starts
CartRst08:      equ 0x800C      ; then a 3-byte jump for each RST and the NMI
CartRst10:      equ 0x800F
CartRst18:      equ 0x8012
CartRst20:      equ 0x8015
CartRst28:      equ 0x8018
CartRst30:      equ 0x801B
CartRst38:      equ 0x801E
CartNmi:        equ 0x8021
CartText:       equ 0x8024      ; "LINE/NAME/YEAR" for the title screen

; The video memory layout MODE_1 and our own screens use.
PatternTable:   equ 0x0000
NameTable:      equ 0x1800
SpriteAttrs:    equ 0x1B00
ColourTable:    equ 0x2000
SpritePatterns: equ 0x3800
VramSize:       equ 0x4000

; R1 bits: 0x80 = 16 KiB VRAM, 0x40 = display enabled, 0x20 = frame interrupt.
R1Blank:        equ 0x80
R1Shown:        equ 0xC0

; ---------------------------------------------------------------------------
; RAM. Only the top of the 1 KiB and the sound block at 0x7020, where the
; console's own BIOS keeps its state, so that a program's own RAM is left
; alone. The sound block is touched only once a program calls SOUND_INIT.

BiosStack:      equ 0x73B9      ; SP at reset and when the cartridge starts
VdpModeWord:    equ 0x73C3      ; copies of R0 and R1 (WRITE_REGISTER keeps them)
VdpStatusByte:  equ 0x73C5      ; the status READ_REGISTER read last
SoundArmed:     equ 0x73C6      ; SoundArmedMark once SOUND_INIT has run
RandNum:        equ 0x73C8      ; word: RAND_GEN's state
ControllerData: equ 0x73EE      ; stick 1, stick 2, keypad 1, keypad 2 (active high)
VramAddrTable:  equ 0x73F2      ; five words: the table addresses INIT_TABLE set

SongList:       equ 0x7020      ; word: the list SOUND_INIT was given
ChannelOwners:  equ 0x7022      ; four words: the song area heard on each channel
NoiseShadow:    equ 0x702A      ; the noise control last sent (a write restarts the noise)

SoundArmedMark: equ 0x5A
RandSeed:       equ 0x2B5D

; INIT_TABLE's table codes, in the order of VramAddrTable.
TableSprites:   equ 0           ; sprite attributes, 4 bytes an item
TableSpriteGen: equ 1           ; sprite patterns, 8 bytes
TableNames:     equ 2           ; name table, 1 byte
TablePatterns:  equ 3           ; pattern generator, 8 bytes
TableColours:   equ 4           ; colours, 1 byte (8 in Graphics II)

; A song data area, one per song that can play at once (SOUND_INIT).
AreaStatus:     equ 0           ; AreaIdle, else note channel << 6 | song number
AreaNext:       equ 1           ; word: the next note
AreaTone:       equ 3           ; word: tone period, or noise control in the low byte
AreaVolume:     equ 5           ; attenuation of the note, 15 = silent
AreaTime:       equ 6           ; frames left of the note
AreaStart:      equ 7           ; word: the song's first note, for a repeat
AreaSize:       equ 10
AreaIdle:       equ 0xFF
AreaListEnd:    equ 0           ; a status byte of 0 follows the last area

; Note headers: bits 7-6 the channel (0 noise, 1-3 tones), then the kind.
NoteEnd:        equ 0x10        ; low six bits: the song stops
NoteRepeat:     equ 0x18        ; low six bits: the song starts over
NoteRestBit:    equ 5           ; a rest: bits 4-0 are its length in frames

; Title screen.
TitleFrames:    equ 150         ; 2.5 seconds at 60 frames a second
TitleLineRow:   equ 9           ; the header's first field
TitleNameRow:   equ 6           ; its second field, usually the game's name
TitleYearRow:   equ 12          ; its last four characters
TitleReadyRow:  equ 20
MessageRow:     equ 11
TextColours:    equ 0xF0        ; white ink on a transparent ground
Backdrop:       equ 0x04        ; dark blue
ScreenColumns:  equ 32

; Our font: the copyright sign and the two halves of a trademark sign at
; 0x1D-0x1F, then ASCII 0x20-0x7F, eight rows of eight pixels each.
FirstGlyph:     equ 0x1D
GlyphCount:     equ 0x80 - FirstGlyph

OpRet:          equ 0xC9
OpNop:          equ 0x00

; ---------------------------------------------------------------------------
; Restart and interrupt vectors

                org 0x0000
                di
                ld sp, BiosStack
                jp Reset

                ds 0x0008 - $, 0xFF
                jp CartRst08
                ds 0x0010 - $, 0xFF
                jp CartRst10
                ds 0x0018 - $, 0xFF
                jp CartRst18
                ds 0x0020 - $, 0xFF
                jp CartRst20
                ds 0x0028 - $, 0xFF
                jp CartRst28
                ds 0x0030 - $, 0xFF
                jp CartRst30
                ds 0x0038 - $, 0xFF
                jp CartRst38            ; also the maskable interrupt in IM 1

                ds 0x0066 - $, 0xFF
                jp CartNmi              ; the video chip's frame interrupt

; Data that programs read from here directly.
                db 60                   ; 0x0069: frames a second (60: NTSC)
                dw Font + (0x41 - 0x20) * 8 ; 0x006A: the glyph of 'A'
                dw Font + (0x30 - 0x20) * 8 ; 0x006C: the glyph of '0'; space is 128 bytes before

; ---------------------------------------------------------------------------
; Reset

Reset:
                im 1
                ; A status read clears a frame flag left pending and resets
                ; the control port's byte pairing, so the first register
                ; write below lands whole.
                in a, (VdpControl)
                ld hl, ResetRegisters
                ld b, 0
ResetRegister:
                ld c, (hl)
                call WriteRegister
                inc hl
                inc b
                ld a, b
                cp 8
                jr nz, ResetRegister
                call TurnOffSound

                ld hl, ResetTables
                ld de, VramAddrTable
                ld bc, 10
                ldir
                xor a
                ld (SoundArmed), a
                ld (VdpStatusByte), a
                ld hl, ControllerData
                ld b, 4
ClearControllers:
                ld (hl), a
                inc hl
                djnz ClearControllers
                ld hl, RandSeed
                ld (RandNum), hl

                ; 55 AA in memory order reads as the word 0xAA55.
                ld hl, (CartHeader)
                ld de, 0xAA55
                or a
                sbc hl, de
                jr z, StartCartridge
                ld hl, (CartHeader)
                ld de, 0x55AA
                or a
                sbc hl, de
                jr z, TitleScreen
                jp NotACartridge

StartCartridge:
                ld sp, BiosStack
                ld hl, (CartEntry)
                jp (hl)

; The header's text is three fields, "LINE/NAME/YEAR", the last one always
; four characters long and not terminated.
TitleScreen:
                call SetUpTextScreen
                ld hl, CartText
                ld de, NameTable + TitleLineRow * ScreenColumns
                call PrintField
                ld de, NameTable + TitleNameRow * ScreenColumns
                call PrintField
                ld de, NameTable + TitleYearRow * ScreenColumns
                ld b, 4
                call PrintCentred
                ld hl, ReadyText
                ld de, NameTable + TitleReadyRow * ScreenColumns
                ld b, ReadyLength
                call PrintCentred
                call DisplayOn

                ; Counted by polling the frame flag: the NMI belongs to the
                ; cartridge, which has not set itself up yet.
                ld b, TitleFrames
TitleWait:
                call WaitFrame
                djnz TitleWait

                ld bc, 0x0100 | R1Blank
                call WriteRegister
                jr StartCartridge

NotACartridge:
                call SetUpTextScreen
                ld hl, NotCartText
                ld de, NameTable + MessageRow * ScreenColumns
                ld b, NotCartLength
                call PrintCentred
                call DisplayOn
Stay:
                halt                    ; interrupts are off: this is the end
                jr Stay

; ---------------------------------------------------------------------------
; Our own screens

; Graphics I with MODE_1's layout, every name a space, our font at the
; glyphs' codes, white text on the backdrop, no sprites; still blanked.
; Only what the screen shows is written: clearing all 16 KiB would take
; several frames.
SetUpTextScreen:
                call Mode1
                ld hl, NameTable
                ld de, ScreenColumns * 24
                ld a, ' '
                call FillVram
                call LoadAscii
                ld hl, ColourTable
                ld de, 32
                ld a, TextColours
                call FillVram
                ; A Y of 0xD0 ends the sprite list at its first entry.
                ld hl, SpriteAttrs
                ld de, 1
                ld a, 0xD0
                call FillVram
                ld bc, 0x0700 | Backdrop
                jp WriteRegister

DisplayOn:
                ld bc, 0x0100 | R1Shown
                jp WriteRegister

; Returns once the video chip has started a new frame. Reading the status
; clears the flag, so each frame is seen once.
WaitFrame:
                in a, (VdpControl)
                rlca
                jr nc, WaitFrame
                ret

; Prints the text at HL up to a '/' (at most a line's width) centred on the
; screen row at DE, and steps HL past the '/'.
PrintField:
                push hl
                ld b, 0
MeasureField:
                ld a, (hl)
                cp '/'
                jr z, FieldMeasured
                inc hl
                inc b
                ld a, b
                cp ScreenColumns
                jr nz, MeasureField
FieldMeasured:
                pop hl
                call PrintCentred
                ld a, (hl)
                cp '/'
                ret nz
                inc hl
                ret

; Prints B (0-32) characters from HL centred on the screen row at DE; HL
; ends past them. What has no glyph shows as a space.
PrintCentred:
                ld a, b
                or a
                ret z
                ld a, ScreenColumns
                sub b
                srl a
                push hl
                ld l, a
                ld h, 0
                add hl, de
                call SetWriteAddress
                pop hl
PrintNext:
                ld a, (hl)
                cp FirstGlyph
                jr c, NoGlyph
                cp 0x7F
                jr c, HasGlyph
NoGlyph:
                ld a, ' '
HasGlyph:
                out (VdpData), a
                inc hl
                djnz PrintNext
                ret

; ---------------------------------------------------------------------------
; Video chip routines

; Points the video chip at HL for writing: low byte, then the high six bits
; with 0x40 marking a write.
SetWriteAddress:
                ld a, l
                out (VdpControl), a
                ld a, h
                and 0x3F
                or 0x40
                out (VdpControl), a
                ret

; The same for reading: with 0x40 clear the chip fetches the first byte.
SetReadAddress:
                ld a, l
                out (VdpControl), a
                ld a, h
                and 0x3F
                out (VdpControl), a
                ret

; WRITE_REGISTER: B = register (0-7), C = value. R0 and R1 are also kept
; at VdpModeWord, where programs and our other routines look them up.
WriteRegister:
                ld a, c
                out (VdpControl), a
                ld a, b
                and 0x07
                or 0x80
                out (VdpControl), a
                and 0x07
                cp 2
                ret nc
                push hl
                ld hl, VdpModeWord
                add a, l                ; 0xC3 + 1 stays in the page
                ld l, a
                ld (hl), c
                pop hl
                ret

; READ_REGISTER: A = the status register. Reading it also acknowledges the
; frame interrupt; the value is kept at VdpStatusByte.
ReadRegister:
                in a, (VdpControl)
                ld (VdpStatusByte), a
                ret

; The three copy loops count a 16-bit length as B bytes, then D more rounds
; of 256: B = low byte, D = high byte plus one unless the low byte is 0.
; Each byte takes at least 29 cycles, the gap the video chip needs between
; two accesses while it draws.

; FILL_VRAM: HL = VRAM address, DE = byte count (0: none), A = value.
FillVram:
                ld c, a
                call SetWriteAddress
                ld a, d
                or e
                ret z
                ld b, e
                dec de
                inc d
                ld a, c
FillNext:
                out (VdpData), a
                nop
                nop
                djnz FillNext
                dec d
                jr nz, FillNext
                ret

; WRITE_VRAM: HL = source in memory, DE = VRAM address, BC = byte count
; (0: none).
WriteVram:
                ex de, hl
                call SetWriteAddress
                call CountToRounds
                ret z
WriteNext:
                ld a, (de)
                out (VdpData), a
                inc de
                djnz WriteNext
                dec c
                jr nz, WriteNext
                ret

; READ_VRAM: HL = destination in memory, DE = VRAM address, BC = byte count
; (0: none).
ReadVram:
                ex de, hl
                call SetReadAddress
                call CountToRounds
                ret z
ReadNext:
                in a, (VdpData)
                ld (de), a
                inc de
                djnz ReadNext
                dec c
                jr nz, ReadNext
                ret

; BC = a byte count; returns Z for none, else B = bytes of the first round
; (0 meaning 256) and C = rounds.
CountToRounds:
                ld a, b
                or c
                ret z
                dec bc                  ; borrows from B when C is 0...
                inc b                   ; ...so B + 1 is the number of rounds
                inc c
                ld a, b
                ld b, c
                ld c, a
                or a                    ; at least one round: NZ
                ret

; INIT_TABLE: A = table code (TableSprites ... TableColours), HL = VRAM
; address. Sets the register that places the table and records the address
; in VramAddrTable. In Graphics II (R0 bit 1) the pattern and colour tables
; get the register bits that make them whole 6 KiB tables.
InitTable:
                push hl
                ld c, a
                ld b, 0
                ld hl, VramAddrTable
                add hl, bc
                add hl, bc
                pop de                  ; DE = address
                ld (hl), e
                inc hl
                ld (hl), d
                ld hl, TableRegisters   ; three bytes a code
                add hl, bc
                add hl, bc
                add hl, bc
                ld b, (hl)              ; register
                inc hl
                ld a, (hl)              ; right shifts from address to value
                inc hl
                ld c, (hl)              ; Graphics II bits
                ex de, hl
ShiftAddress:
                srl h
                rr l
                dec a
                jr nz, ShiftAddress
                ld a, (VdpModeWord)
                and 0x02
                ld a, l
                jr z, TableValue
                or c
TableValue:
                ld c, a
                jp WriteRegister

; MODE_1: Graphics I, blanked, frame interrupt off, with the tables at
; PatternTable, NameTable, SpriteAttrs, ColourTable and SpritePatterns.
Mode1:
                ld bc, 0x0000
                call WriteRegister
                ld bc, 0x0100 | R1Blank
                call WriteRegister
                ld hl, Mode1Tables
                ld b, 5
Mode1Next:
                push bc
                ld a, (hl)
                inc hl
                ld e, (hl)
                inc hl
                ld d, (hl)
                inc hl
                push hl
                ex de, hl
                call InitTable
                pop hl
                pop bc
                djnz Mode1Next
                ret

; LOAD_ASCII: our font into the pattern generator table at its codes
; (0x1D-0x7F).
LoadAscii:
                ld hl, (VramAddrTable + TablePatterns * 2)
                ld de, FirstGlyph * 8
                add hl, de
                ex de, hl
                ld hl, Symbols
                ld bc, GlyphCount * 8
                jp WriteVram

; PUT_VRAM and GET_VRAM: A = table code, DE = first item, HL = buffer in
; memory, IY = item count. Items are as big as the table's entries.
PutVram:
                call ItemsToBytes
                jp WriteVram

GetVram:
                call ItemsToBytes
                jp ReadVram

; A = table code, DE = first item, IY = items; returns DE = VRAM address
; and BC = bytes, HL unchanged.
ItemsToBytes:
                push hl
                push iy
                pop bc
                ld l, a
                call ItemShift
                or a
                jr z, ItemsScaled
ScaleItems:
                sla e
                rl d
                sla c
                rl b
                dec a
                jr nz, ScaleItems
ItemsScaled:
                ld a, l
                add a, a
                add a, VramAddrTable & 0xFF ; at most 0xFA: no carry
                ld l, a
                ld h, VramAddrTable >> 8
                ld a, (hl)
                inc hl
                ld h, (hl)
                ld l, a
                add hl, de
                ex de, hl
                pop hl
                ret

; L = table code; returns A = log2 of the table's item size.
ItemShift:
                ld a, l
                cp TableNames
                jr z, ItemOneByte
                cp TableColours
                jr z, ItemColours
                or a
                ld a, 2                 ; sprite attributes: 4 bytes
                ret z
                ld a, 3                 ; patterns: 8 bytes
                ret
ItemColours:
                ld a, (VdpModeWord)
                and 0x02
                ret z
                ld a, 3                 ; Graphics II: a colour byte per pattern row
                ret
ItemOneByte:
                xor a
                ret

; ---------------------------------------------------------------------------
; Controllers

; CONTROLLER_SCAN: reads both controllers in both modes and keeps what they
; report, inverted so that a set bit is a pressed line, at ControllerData:
; stick 1, stick 2 (bits 0-3 up, right, down, left; bit 6 the left button),
; keypad 1, keypad 2 (bits 0-3 the key's code; bit 6 the right button).
ControllerScan:
                out (JoystickSelect), a
                call SettleController
                in a, (Controller1)
                cpl
                ld (ControllerData), a
                in a, (Controller2)
                cpl
                ld (ControllerData + 1), a
                out (KeypadSelect), a
                call SettleController
                in a, (Controller1)
                cpl
                ld (ControllerData + 2), a
                in a, (Controller2)
                cpl
                ld (ControllerData + 3), a
                out (JoystickSelect), a
                ret

; The controllers' lines need a moment after a mode change.
SettleController:
                push bc
                ld b, 4
Settle:
                djnz Settle
                pop bc
                ret

; DECODER: H = controller (0 or 1), L = 0 for the stick or 1 for the keypad.
; Returns H = 0x40 if that half's button is pressed (else 0), L = the stick's
; directions (bits 0-3 up, right, down, left) or the key (0-9, 10 for *,
; 11 for #, 15 for none), E = 0 (spinners are not counted).
Decoder:
                ld a, l
                or a
                jr nz, DecodeKeypadMode
                out (JoystickSelect), a
                jr DecodeRead
DecodeKeypadMode:
                out (KeypadSelect), a
DecodeRead:
                call SettleController
                ld a, h
                or a
                jr nz, DecodeSecond
                in a, (Controller1)
                jr DecodeValue
DecodeSecond:
                in a, (Controller2)
DecodeValue:
                ld e, a                 ; raw, active low
                cpl
                and 0x40
                ld h, a
                ld a, l
                or a
                ld a, e
                jr nz, DecodeKey
                cpl
                and 0x0F
                ld l, a
                ld e, 0
                ret
DecodeKey:
                and 0x0F
                push bc
                ld c, a
                ld b, 0
                push hl
                ld hl, KeyValues
                add hl, bc
                ld a, (hl)
                pop hl
                pop bc
                ld l, a
                ld e, 0
                ret

; ---------------------------------------------------------------------------
; Sound

; TURN_OFF_SOUND: all four channels (three tones and the noise) to
; attenuation 15.
TurnOffSound:
                ld a, 0x9F
                out (SoundPort), a
                ld a, 0xBF
                out (SoundPort), a
                ld a, 0xDF
                out (SoundPort), a
                ld a, 0xFF
                out (SoundPort), a
                ret

; SOUND_INIT: B = number of song data areas, HL = the song list, one entry
; per song numbered from 1: the word address of its notes, then the word
; address of its song data area (AreaSize bytes in RAM). The areas lie one
; after another from song 1's; all become idle and a 0 byte after the last
; one ends them. Then the sound is turned off.
SoundInit:
                push ix
                ld (SongList), hl
                call FirstArea
                ld a, b
                or a
                jr z, AreasReady
                ld de, AreaSize
IdleArea:
                ld (ix + AreaStatus), AreaIdle
                add ix, de
                djnz IdleArea
AreasReady:
                ld (ix + AreaStatus), AreaListEnd
                ld hl, 0
                ld (ChannelOwners), hl
                ld (ChannelOwners + 2), hl
                ld (ChannelOwners + 4), hl
                ld (ChannelOwners + 6), hl
                ld a, 0xFF
                ld (NoiseShadow), a
                ld a, SoundArmedMark
                ld (SoundArmed), a
                pop ix
                jr TurnOffSound

; PLAY_IT: B = song number. Starts the song in its area unless it is
; playing already.
PlayIt:
                ld a, (SoundArmed)
                cp SoundArmedMark
                ret nz
                ld a, b
                or a
                ret z
                push ix
                dec a
                ld l, a
                ld h, 0
                add hl, hl
                add hl, hl
                ld de, (SongList)
                add hl, de
                ld e, (hl)
                inc hl
                ld d, (hl)              ; DE = the song's notes
                inc hl
                ld a, (hl)
                inc hl
                ld h, (hl)
                ld l, a
                push hl
                pop ix                  ; IX = its area
                ld a, (ix + AreaStatus)
                cp AreaIdle
                jr z, StartSong
                and 0x3F
                cp b
                jr z, PlayItDone
StartSong:
                ld (ix + AreaStart), e
                ld (ix + AreaStart + 1), d
                ld (ix + AreaStatus), b
                ex de, hl
                call LoadNote
PlayItDone:
                pop ix
                ret

; SOUND_MAN: once a frame. Counts down each playing note, moves on to the
; next one when it is over, and works out which area each channel plays:
; the first area in the list that has a note on it.
SoundMan:
                ld a, (SoundArmed)
                cp SoundArmedMark
                ret nz
                push ix
                call FirstArea
CountArea:
                ld a, (ix + AreaStatus)
                cp AreaListEnd
                jr z, FindOwners
                cp AreaIdle
                jr z, NextCountArea
                dec (ix + AreaTime)
                jr nz, NextCountArea
                ld l, (ix + AreaNext)
                ld h, (ix + AreaNext + 1)
                call LoadNote
NextCountArea:
                ld de, AreaSize
                add ix, de
                jr CountArea

FindOwners:
                ld hl, ChannelOwners
                ld b, 0                 ; the channel, as a status byte's bits 7-6
OwnerOfChannel:
                push hl
                call FirstArea
FindOwner:
                ld a, (ix + AreaStatus)
                cp AreaListEnd
                jr z, NoOwner
                cp AreaIdle
                jr z, NextOwnerArea
                and 0xC0
                cp b
                jr nz, NextOwnerArea
                push ix
                pop de
                jr OwnerFound
NextOwnerArea:
                ld de, AreaSize
                add ix, de
                jr FindOwner
NoOwner:
                ld de, 0
OwnerFound:
                pop hl
                ld (hl), e
                inc hl
                ld (hl), d
                inc hl
                ld a, b
                add a, 0x40
                ld b, a
                jr nz, OwnerOfChannel   ; four channels, then B wraps to 0
                pop ix
                ret

; PLAY_SONGS: once a frame, sends each channel's note to the sound chip; a
; channel no song plays is silenced.
PlaySongs:
                ld a, (SoundArmed)
                cp SoundArmedMark
                ret nz
                push ix
                ld hl, ChannelOwners
                ld b, 0                 ; 0 noise, 1-3 the tones
PlayChannel:
                ld e, (hl)
                inc hl
                ld d, (hl)
                inc hl
                push hl
                ld a, d
                or e
                jr z, ChannelQuiet
                push de
                pop ix
                ld a, b
                or a
                jr z, PlayNoise
                ; The period's low four bits with the latch, bits 9-4 after it.
                call ChipChannel
                ld c, a
                ld a, (ix + AreaTone)
                and 0x0F
                or c
                or 0x80
                out (SoundPort), a
                ld a, (ix + AreaTone + 1)
                and 0x03
                rlca
                rlca
                rlca
                rlca
                ld c, a
                ld a, (ix + AreaTone)
                rrca
                rrca
                rrca
                rrca
                and 0x0F
                or c
                out (SoundPort), a
                ld a, (ix + AreaVolume)
                jr ChannelVolume
PlayNoise:
                ld a, (ix + AreaTone)
                and 0x07
                ld hl, NoiseShadow
                cp (hl)
                jr z, NoiseUnchanged
                ld (hl), a
                or 0xE0
                out (SoundPort), a
NoiseUnchanged:
                ld a, (ix + AreaVolume)
                jr ChannelVolume
ChannelQuiet:
                ld a, 15
ChannelVolume:
                and 0x0F
                ld c, a
                call ChipChannel
                or c
                or 0x90
                out (SoundPort), a
                pop hl
                inc b
                ld a, b
                cp 4
                jr nz, PlayChannel
                pop ix
                ret

; B = a song channel (0 noise, 1-3 tones); returns the chip's channel
; number (tones 0-2, noise 3) in bits 6-5 of A.
ChipChannel:
                ld a, b
                dec a
                and 0x03
                rrca                    ; three right rotations put bits 1-0 at 6-5
                rrca
                rrca
                ret

; IX = the first song data area (song 1's). Changes HL.
FirstArea:
                ld hl, (SongList)
                inc hl
                inc hl
                ld a, (hl)
                inc hl
                ld h, (hl)
                ld l, a
                push hl
                pop ix
                ret

; Loads the note at HL into the area at IX. A tone note is: the header
; (channel << 6, kind in bits 1-0), period bits 7-0, attenuation << 4 |
; period bits 9-8, then for a plain note its length in frames. A noise note
; is the header, attenuation << 4 | noise control, length. Swept notes are
; held at their first period and attenuation for their whole length.
LoadNote:
                ld c, 2                 ; a song may start over once per note
LoadThisNote:
                ld a, (hl)
                ld b, a
                and 0x3F
                cp NoteEnd
                jr z, SongOver
                cp NoteRepeat
                jr nz, NoteOfSong
                dec c
                jr z, SongOver          ; a song of nothing but a repeat
                ld l, (ix + AreaStart)
                ld h, (ix + AreaStart + 1)
                jr LoadThisNote
SongOver:
                ld (ix + AreaStatus), AreaIdle
                ret
NoteOfSong:
                ld a, (ix + AreaStatus)
                and 0x3F
                ld e, a
                ld a, b
                and 0xC0
                or e
                ld (ix + AreaStatus), a
                inc hl
                bit NoteRestBit, b
                jr z, Sounding
                ld a, b
                and 0x1F
                ld (ix + AreaTime), a
                ld (ix + AreaVolume), 15
                jr NoteLoaded
Sounding:
                ld a, b
                and 0xC0
                jr nz, ToneNote
                ld a, (hl)
                and 0x07
                ld (ix + AreaTone), a
                call HighNibble
                ld (ix + AreaVolume), a
                inc hl
                ld a, (hl)
                ld (ix + AreaTime), a
                inc hl
                bit 1, b                ; a swept noise note has two bytes more
                jr z, NoteLoaded
                inc hl
                inc hl
                jr NoteLoaded
ToneNote:
                ld a, (hl)
                ld (ix + AreaTone), a
                inc hl
                ld a, (hl)
                and 0x03
                ld (ix + AreaTone + 1), a
                call HighNibble
                ld (ix + AreaVolume), a
                inc hl
                ld a, b
                and 0x03
                jr z, PlainTone
                cp 2
                jr z, VolumeSwept
                ; Frequency swept (and both swept): steps, then the step
                ; length in the high half of the next byte.
                ld e, (hl)
                inc hl
                call HighNibble
                ld d, a
                xor a
                inc d
StepTime:
                dec d
                jr z, SweptTime
                add a, e
                jr nc, StepTime
                ld a, 0xFF
SweptTime:
                ld (ix + AreaTime), a
                inc hl
                inc hl
                ld a, b
                and 0x03
                cp 3
                jr nz, NoteLoaded
                inc hl
                inc hl
                jr NoteLoaded
VolumeSwept:
                ld a, (hl)
                ld (ix + AreaTime), a
                inc hl
                inc hl
                inc hl
                jr NoteLoaded
PlainTone:
                ld a, (hl)
                ld (ix + AreaTime), a
                inc hl
NoteLoaded:
                ld (ix + AreaNext), l
                ld (ix + AreaNext + 1), h
                ld a, (ix + AreaTime)
                or a
                ret nz
                inc (ix + AreaTime)     ; a zero length still lasts a frame
                ret

; A = the high four bits of (HL).
HighNibble:
                ld a, (hl)
                rrca
                rrca
                rrca
                rrca
                and 0x0F
                ret

; ---------------------------------------------------------------------------
; Other routines

; RAND_GEN: HL = a new pseudo-random number (also at RandNum), A = L. A
; 16-bit Galois shift register: every nonzero state, 65,535 of them.
RandGen:
                ld hl, (RandNum)
                ld a, h
                or l
                jr nz, RandStep
                ld hl, RandSeed
RandStep:
                srl h
                rr l
                jr nc, RandDone
                ld a, h
                xor 0xB4
                ld h, a
RandDone:
                ld (RandNum), hl
                ld a, l
                ret

; ---------------------------------------------------------------------------
; Data

ResetRegisters:
                db 0x00                 ; R0: Graphics I, no external video
                db R1Blank              ; R1: blanked, frame interrupt off
                db NameTable / 0x400    ; R2
                db ColourTable / 0x40   ; R3
                db PatternTable / 0x800 ; R4
                db SpriteAttrs / 0x80   ; R5
                db SpritePatterns / 0x800 ; R6
                db 0x00                 ; R7: black backdrop

; VramAddrTable as the reset registers place the tables.
ResetTables:
                dw SpriteAttrs, SpritePatterns, NameTable, PatternTable, ColourTable

; INIT_TABLE's register, shifts from address to value and Graphics II bits.
TableRegisters:
                db 5, 7, 0x00           ; sprite attributes: address / 0x80
                db 6, 11, 0x00          ; sprite patterns: / 0x800
                db 2, 10, 0x00          ; names: / 0x400
                db 4, 11, 0x03          ; patterns: / 0x800
                db 3, 6, 0x7F           ; colours: / 0x40

Mode1Tables:
                db TableSprites
                dw SpriteAttrs
                db TableSpriteGen
                dw SpritePatterns
                db TableNames
                dw NameTable
                db TablePatterns
                dw PatternTable
                db TableColours
                dw ColourTable

; A keypad's 4-bit code (as read, active low) to the key: 0-9, 10 for *,
; 11 for #, 15 for none or a code no key makes.
KeyValues:
                db 15, 8, 4, 5, 15, 7, 11, 2, 15, 10, 0, 9, 3, 1, 6, 15

ReadyText:
                db "GET READY"
ReadyEnd:
ReadyLength:    equ ReadyEnd - ReadyText

NotCartText:
                db "Not a ColecoVision cartridge"
NotCartEnd:
NotCartLength:  equ NotCartEnd - NotCartText

; The font: eight rows a glyph, top first, bit 7 leftmost.
Symbols:
                db 0x3C, 0x42, 0x99, 0xA1, 0xA1, 0x99, 0x42, 0x3C ; 0x1D copyright
                db 0xF8, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0x00 ; 0x1E trademark, T
                db 0x88, 0xD8, 0xA8, 0x88, 0x00, 0x00, 0x00, 0x00 ; 0x1F trademark, M
Font:
                db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 ; space
                db 0x10, 0x10, 0x10, 0x10, 0x10, 0x00, 0x10, 0x00 ; !
                db 0x28, 0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 ; "
                db 0x28, 0x28, 0x7C, 0x28, 0x7C, 0x28, 0x28, 0x00 ; #
                db 0x10, 0x3C, 0x50, 0x38, 0x14, 0x78, 0x10, 0x00 ; $
                db 0x60, 0x64, 0x08, 0x10, 0x20, 0x4C, 0x0C, 0x00 ; %
                db 0x30, 0x48, 0x50, 0x20, 0x54, 0x48, 0x34, 0x00 ; &
                db 0x10, 0x10, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00 ; '
                db 0x08, 0x10, 0x20, 0x20, 0x20, 0x10, 0x08, 0x00 ; (
                db 0x20, 0x10, 0x08, 0x08, 0x08, 0x10, 0x20, 0x00 ; )
                db 0x00, 0x10, 0x54, 0x38, 0x54, 0x10, 0x00, 0x00 ; *
                db 0x00, 0x10, 0x10, 0x7C, 0x10, 0x10, 0x00, 0x00 ; +
                db 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x10, 0x20 ; ,
                db 0x00, 0x00, 0x00, 0x7C, 0x00, 0x00, 0x00, 0x00 ; -
                db 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x30, 0x00 ; .
                db 0x00, 0x04, 0x08, 0x10, 0x20, 0x40, 0x00, 0x00 ; /
                db 0x38, 0x44, 0x4C, 0x54, 0x64, 0x44, 0x38, 0x00 ; 0
                db 0x10, 0x30, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00 ; 1
                db 0x38, 0x44, 0x04, 0x08, 0x10, 0x20, 0x7C, 0x00 ; 2
                db 0x7C, 0x08, 0x10, 0x08, 0x04, 0x44, 0x38, 0x00 ; 3
                db 0x08, 0x18, 0x28, 0x48, 0x7C, 0x08, 0x08, 0x00 ; 4
                db 0x7C, 0x40, 0x78, 0x04, 0x04, 0x44, 0x38, 0x00 ; 5
                db 0x18, 0x20, 0x40, 0x78, 0x44, 0x44, 0x38, 0x00 ; 6
                db 0x7C, 0x04, 0x08, 0x10, 0x20, 0x20, 0x20, 0x00 ; 7
                db 0x38, 0x44, 0x44, 0x38, 0x44, 0x44, 0x38, 0x00 ; 8
                db 0x38, 0x44, 0x44, 0x3C, 0x04, 0x08, 0x30, 0x00 ; 9
                db 0x00, 0x30, 0x30, 0x00, 0x30, 0x30, 0x00, 0x00 ; :
                db 0x00, 0x30, 0x30, 0x00, 0x30, 0x10, 0x20, 0x00 ; ;
                db 0x08, 0x10, 0x20, 0x40, 0x20, 0x10, 0x08, 0x00 ; <
                db 0x00, 0x00, 0x7C, 0x00, 0x7C, 0x00, 0x00, 0x00 ; =
                db 0x20, 0x10, 0x08, 0x04, 0x08, 0x10, 0x20, 0x00 ; >
                db 0x38, 0x44, 0x04, 0x08, 0x10, 0x00, 0x10, 0x00 ; ?
                db 0x38, 0x44, 0x04, 0x34, 0x54, 0x54, 0x38, 0x00 ; @
                db 0x38, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x44, 0x00 ; A
                db 0x78, 0x44, 0x44, 0x78, 0x44, 0x44, 0x78, 0x00 ; B
                db 0x38, 0x44, 0x40, 0x40, 0x40, 0x44, 0x38, 0x00 ; C
                db 0x70, 0x48, 0x44, 0x44, 0x44, 0x48, 0x70, 0x00 ; D
                db 0x7C, 0x40, 0x40, 0x78, 0x40, 0x40, 0x7C, 0x00 ; E
                db 0x7C, 0x40, 0x40, 0x78, 0x40, 0x40, 0x40, 0x00 ; F
                db 0x38, 0x44, 0x40, 0x5C, 0x44, 0x44, 0x3C, 0x00 ; G
                db 0x44, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x44, 0x00 ; H
                db 0x38, 0x10, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00 ; I
                db 0x1C, 0x08, 0x08, 0x08, 0x08, 0x48, 0x30, 0x00 ; J
                db 0x44, 0x48, 0x50, 0x60, 0x50, 0x48, 0x44, 0x00 ; K
                db 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x7C, 0x00 ; L
                db 0x44, 0x6C, 0x54, 0x54, 0x44, 0x44, 0x44, 0x00 ; M
                db 0x44, 0x44, 0x64, 0x54, 0x4C, 0x44, 0x44, 0x00 ; N
                db 0x38, 0x44, 0x44, 0x44, 0x44, 0x44, 0x38, 0x00 ; O
                db 0x78, 0x44, 0x44, 0x78, 0x40, 0x40, 0x40, 0x00 ; P
                db 0x38, 0x44, 0x44, 0x44, 0x54, 0x48, 0x34, 0x00 ; Q
                db 0x78, 0x44, 0x44, 0x78, 0x50, 0x48, 0x44, 0x00 ; R
                db 0x3C, 0x40, 0x40, 0x38, 0x04, 0x04, 0x78, 0x00 ; S
                db 0x7C, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x00 ; T
                db 0x44, 0x44, 0x44, 0x44, 0x44, 0x44, 0x38, 0x00 ; U
                db 0x44, 0x44, 0x44, 0x44, 0x44, 0x28, 0x10, 0x00 ; V
                db 0x44, 0x44, 0x44, 0x54, 0x54, 0x54, 0x28, 0x00 ; W
                db 0x44, 0x44, 0x28, 0x10, 0x28, 0x44, 0x44, 0x00 ; X
                db 0x44, 0x44, 0x44, 0x28, 0x10, 0x10, 0x10, 0x00 ; Y
                db 0x7C, 0x04, 0x08, 0x10, 0x20, 0x40, 0x7C, 0x00 ; Z
                db 0x38, 0x20, 0x20, 0x20, 0x20, 0x20, 0x38, 0x00 ; [
                db 0x00, 0x40, 0x20, 0x10, 0x08, 0x04, 0x00, 0x00 ; \
                db 0x38, 0x08, 0x08, 0x08, 0x08, 0x08, 0x38, 0x00 ; ]
                db 0x10, 0x28, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00 ; ^
                db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7C ; _
                db 0x20, 0x10, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00 ; `
                db 0x00, 0x00, 0x38, 0x04, 0x3C, 0x44, 0x3C, 0x00 ; a
                db 0x40, 0x40, 0x58, 0x64, 0x44, 0x44, 0x78, 0x00 ; b
                db 0x00, 0x00, 0x38, 0x40, 0x40, 0x44, 0x38, 0x00 ; c
                db 0x04, 0x04, 0x34, 0x4C, 0x44, 0x44, 0x3C, 0x00 ; d
                db 0x00, 0x00, 0x38, 0x44, 0x7C, 0x40, 0x38, 0x00 ; e
                db 0x18, 0x24, 0x20, 0x70, 0x20, 0x20, 0x20, 0x00 ; f
                db 0x00, 0x00, 0x3C, 0x44, 0x44, 0x3C, 0x04, 0x38 ; g
                db 0x40, 0x40, 0x58, 0x64, 0x44, 0x44, 0x44, 0x00 ; h
                db 0x10, 0x00, 0x30, 0x10, 0x10, 0x10, 0x38, 0x00 ; i
                db 0x08, 0x00, 0x18, 0x08, 0x08, 0x08, 0x48, 0x30 ; j
                db 0x40, 0x40, 0x48, 0x50, 0x60, 0x50, 0x48, 0x00 ; k
                db 0x30, 0x10, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00 ; l
                db 0x00, 0x00, 0x68, 0x54, 0x54, 0x54, 0x54, 0x00 ; m
                db 0x00, 0x00, 0x58, 0x64, 0x44, 0x44, 0x44, 0x00 ; n
                db 0x00, 0x00, 0x38, 0x44, 0x44, 0x44, 0x38, 0x00 ; o
                db 0x00, 0x00, 0x78, 0x44, 0x44, 0x78, 0x40, 0x40 ; p
                db 0x00, 0x00, 0x3C, 0x44, 0x44, 0x3C, 0x04, 0x04 ; q
                db 0x00, 0x00, 0x58, 0x64, 0x40, 0x40, 0x40, 0x00 ; r
                db 0x00, 0x00, 0x38, 0x40, 0x38, 0x04, 0x78, 0x00 ; s
                db 0x20, 0x20, 0x70, 0x20, 0x20, 0x24, 0x18, 0x00 ; t
                db 0x00, 0x00, 0x44, 0x44, 0x44, 0x4C, 0x34, 0x00 ; u
                db 0x00, 0x00, 0x44, 0x44, 0x44, 0x28, 0x10, 0x00 ; v
                db 0x00, 0x00, 0x44, 0x44, 0x54, 0x54, 0x28, 0x00 ; w
                db 0x00, 0x00, 0x44, 0x28, 0x10, 0x28, 0x44, 0x00 ; x
                db 0x00, 0x00, 0x44, 0x44, 0x44, 0x3C, 0x04, 0x38 ; y
                db 0x00, 0x00, 0x7C, 0x08, 0x10, 0x20, 0x7C, 0x00 ; z
                db 0x08, 0x10, 0x10, 0x20, 0x10, 0x10, 0x08, 0x00 ; {
                db 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x00 ; |
                db 0x20, 0x10, 0x10, 0x08, 0x10, 0x10, 0x20, 0x00 ; }
                db 0x00, 0x00, 0x20, 0x54, 0x08, 0x00, 0x00, 0x00 ; ~
                db 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55 ; 0x7F
FontEnd:

; ---------------------------------------------------------------------------
; The jump table: each entry point a 3-byte JP at its documented address.
; Entry points without a routine of ours return at once.

                ds 0x1F61 - $, 0xFF
                jp PlaySongs            ; 1F61 PLAY_SONGS
                db OpRet, OpNop, OpNop  ; 1F64 ACTIVATEP
                db OpRet, OpNop, OpNop  ; 1F67 PUTOBJP
                db OpRet, OpNop, OpNop  ; 1F6A REFLECT_VERTICAL
                db OpRet, OpNop, OpNop  ; 1F6D REFLECT_HORIZONTAL
                db OpRet, OpNop, OpNop  ; 1F70 ROTATE_90
                db OpRet, OpNop, OpNop  ; 1F73 ENLARGE
                jp ControllerScan       ; 1F76 CONTROLLER_SCAN
                jp Decoder              ; 1F79 DECODER
                db OpRet, OpNop, OpNop  ; 1F7C GAME_OPT
                jp LoadAscii            ; 1F7F LOAD_ASCII
                jp FillVram             ; 1F82 FILL_VRAM
                jp Mode1                ; 1F85 MODE_1
                db OpRet, OpNop, OpNop  ; 1F88 UPDATE_SPINNER
                db OpRet, OpNop, OpNop  ; 1F8B INIT_TABLEP
                db OpRet, OpNop, OpNop  ; 1F8E GET_VRAMP
                db OpRet, OpNop, OpNop  ; 1F91 PUT_VRAMP
                db OpRet, OpNop, OpNop  ; 1F94 INIT_SPR_ORDERP
                db OpRet, OpNop, OpNop  ; 1F97 WR_SPR_NM_TBLP
                db OpRet, OpNop, OpNop  ; 1F9A INIT_TIMERP
                db OpRet, OpNop, OpNop  ; 1F9D FREE_SIGNALP
                db OpRet, OpNop, OpNop  ; 1FA0 REQUEST_SIGNALP
                db OpRet, OpNop, OpNop  ; 1FA3 TEST_SIGNALP
                db OpRet, OpNop, OpNop  ; 1FA6 WRITE_REGISTERP
                db OpRet, OpNop, OpNop  ; 1FA9 WRITE_VRAMP
                db OpRet, OpNop, OpNop  ; 1FAC READ_VRAMP
                db OpRet, OpNop, OpNop  ; 1FAF INIT_WRITERP
                db OpRet, OpNop, OpNop  ; 1FB2 SOUND_INITP
                db OpRet, OpNop, OpNop  ; 1FB5 PLAY_ITP
                jp InitTable            ; 1FB8 INIT_TABLE
                jp GetVram              ; 1FBB GET_VRAM
                jp PutVram              ; 1FBE PUT_VRAM
                db OpRet, OpNop, OpNop  ; 1FC1 INIT_SPR_ORDER
                db OpRet, OpNop, OpNop  ; 1FC4 WR_SPR_NM_TBL
                db OpRet, OpNop, OpNop  ; 1FC7 INIT_TIMER
                db OpRet, OpNop, OpNop  ; 1FCA FREE_SIGNAL
                db OpRet, OpNop, OpNop  ; 1FCD REQUEST_SIGNAL
                db OpRet, OpNop, OpNop  ; 1FD0 TEST_SIGNAL
                db OpRet, OpNop, OpNop  ; 1FD3 TIME_MGR
                jp TurnOffSound         ; 1FD6 TURN_OFF_SOUND
                jp WriteRegister        ; 1FD9 WRITE_REGISTER
                jp ReadRegister         ; 1FDC READ_REGISTER
                jp WriteVram            ; 1FDF WRITE_VRAM
                jp ReadVram             ; 1FE2 READ_VRAM
                db OpRet, OpNop, OpNop  ; 1FE5 INIT_WRITER
                db OpRet, OpNop, OpNop  ; 1FE8 WRITER
                db OpRet, OpNop, OpNop  ; 1FEB POLLER
                jp SoundInit            ; 1FEE SOUND_INIT
                jp PlayIt               ; 1FF1 PLAY_IT
                jp SoundMan             ; 1FF4 SOUND_MAN
                db OpRet, OpNop, OpNop  ; 1FF7 ACTIVATE
                db OpRet, OpNop, OpNop  ; 1FFA PUTOBJ
                jp RandGen              ; 1FFD RAND_GEN

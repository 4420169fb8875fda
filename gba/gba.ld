/* Memory layout of the Rix image.
 *
 *   ROM    0x08000000  start-up code and cartridge header, Thumb code, read-only data, then the
 *                      load images of the IWRAM sections. __rix_image_end marks the first byte
 *                      behind the image: the builder appends the cartridge table exactly there.
 *   IWRAM  0x03000000  ARM code that runs every frame, the CRC table, small variables; stacks
 *                      at the top (the last 256 bytes belong to the BIOS).
 *   EWRAM  0x02000000  the video layer's bookkeeping (cleared at start-up), then the large
 *                      per-game and per-record arrays (not cleared; their owner fills them).
 */
OUTPUT_FORMAT("elf32-littlearm")
OUTPUT_ARCH(arm)
ENTRY(_start)

MEMORY {
    rom   (rx)  : ORIGIN = 0x08000000, LENGTH = 32M
    iwram (rwx) : ORIGIN = 0x03000000, LENGTH = 0x7000
    ewram (rw)  : ORIGIN = 0x02000000, LENGTH = 256K
}

__sp_usr = 0x03007F00;
__sp_irq = 0x03007FA0;
__sp_svc = 0x03007FE0;

SECTIONS {
    .text : {
        KEEP(*(.crt0))
        *(.text .text.*)
        *(.glue_7 .glue_7t .vfp11_veneer .v4_bx)
        . = ALIGN(4);
    } > rom

    /* IWRAM code and data every part of the program uses. */
    .iwram : {
        __iwram_start = .;
        *(EXCLUDE_FILE(*Z80Arm.o *GameVideo.o *Vdp.o *Machine.o *Table.o *Catalog.o *Video.o
                       *Font.o) .iwram
          EXCLUDE_FILE(*Z80Arm.o *GameVideo.o *Vdp.o *Machine.o *Table.o *Catalog.o *Video.o
                       *Font.o) .iwram.*)
        *(.data .data.*)
        . = ALIGN(4);
        __iwram_end = .;
    } > iwram AT> rom
    __iwram_lma = LOADADDR(.iwram);

    /* Behind it, one of two sets at a time, each copied in from its load image when its part of
       the program starts (app/Overlay.h): the game's (the Z80, the video chip and the machine,
       the tile layer) while a game runs, the menu's (the table reader, the catalog with its CRC
       table, the text screen) otherwise. Start-up copies the game's; the menu loads its own.
       Neither may call into the other (NOCROSSREFS). */
    OVERLAY : NOCROSSREFS AT (__iwram_lma + SIZEOF(.iwram)) {
        .iwram_game {
            *Z80Arm.o(.iwram .iwram.*) *GameVideo.o(.iwram .iwram.*)
            *Vdp.o(.iwram .iwram.*) *Machine.o(.iwram .iwram.*)
            LONG(0) /* never empty, so that the load addresses behind it are defined */
        }
        .iwram_menu {
            *Table.o(.iwram .iwram.*) *Catalog.o(.iwram .iwram.*)
            *Video.o(.iwram .iwram.*) *Font.o(.iwram .iwram.*)
            /* The CRC table is read once per ROM byte, and IWRAM reads take one cycle where
               ROM reads take several. */
            *(.rodata._ZN3rix6format11kCrc32TableE)
            LONG(0)
        }
    } > iwram
    __iwram_overlay = ADDR(.iwram_game);

    .bss (NOLOAD) : {
        __bss_start = .;
        *(.bss .bss.* COMMON)
        . = ALIGN(4);
        __bss_end = .;
    } > iwram

    .ewram_bss (NOLOAD) : {
        __ewram_bss_start = .;
        *(.ewram_bss .ewram_bss.*)
        . = ALIGN(4);
        __ewram_bss_end = .;
    } > ewram

    /* Not cleared at start-up: clearing 200 KiB would delay the first frame. */
    .ewram_noinit (NOLOAD) : {
        *(.ewram_noinit .ewram_noinit.*)
        __ewram_end = .;
    } > ewram
    /* The test port (app/TestPort.h) has the last 256 bytes of EWRAM to itself, and the profile
       image's counters (app/Profile.h) the 256 below it. */
    ASSERT(__ewram_end <= 0x0203FE00, "EWRAM data reaches the profile block or the test port")

    .rodata __load_stop_iwram_menu : {
        *(.rodata .rodata.*)
        . = ALIGN(4);
    } > rom

    .init_array : {
        __init_array_start = .;
        KEEP(*(SORT(.init_array.*)))
        KEEP(*(.init_array))
        __init_array_end = .;
        . = ALIGN(4);
    } > rom

    .ARM.exidx : {
        *(.ARM.exidx*)
        . = ALIGN(4);
    } > rom

    __rix_image_end = .;

    /DISCARD/ : {
        *(.fini_array*) *(.ARM.extab*) *(.comment) *(.note*)
    }
}

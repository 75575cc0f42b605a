| Bootable 256 KB STE ROM image (TOS-style header, base 0xE00000) that shows
| the picture file embedded with it. Assembled with PICTURE_FILE's bytes in
| "picture.bin" on the include path and MODE, BLOCK_LINES, PALETTE_SETS and
| SECOND_BITMAP (0 or 1, "bitmap2.bin") defined on the command line.
        .text
        .org    0
        bra.s   reset
        .word   0x0206                  | version
        .long   reset                   | reset address
        .long   0xE00000                | base of the image
        .long   reset
        .long   0
        .long   0
        .long   0x01012026              | date
        .word   0                       | configuration
        .word   0
        .org    0x30
reset:
        move.w  #0x2700,sr
        move.b  #0x05,0xffff8001.w      | two banks of 512 KB
        lea     0x8000,sp
        lea     picture(pc),a0
        .if SECOND_BITMAP
        lea     bitmap2(pc),a1
        .else
        sub.l   a1,a1
        .endif
        lea     0x10000,a2              | work area
        lea     halt(pc),a3
        moveq   #MODE,d1
        moveq   #BLOCK_LINES,d2
        moveq   #PALETTE_SETS,d3
        moveq   #0,d4                   | no keyboard in the emulator run
| The routine runs from RAM, as it does when loaded by TOS: the ST inserts
| wait states that round bus accesses to RAM up to 4-cycle slots, which ROM
| fetches do not have, and the routine's cycle counts assume RAM.
        lea     routine(pc),a4
        lea     0x30000,a5
        move.w  #(routine_end-routine)/2-1,d0
1:      move.w  (a4)+,(a5)+
        dbra    d0,1b
        jmp     0x30000 + (display_start - routine)
halt:   bra.s   halt

        .balign 2
routine:
        .include "display.S"
routine_end:

        .balign 4
picture:
        .incbin "picture.bin"
        .balign 4
        .if SECOND_BITMAP
bitmap2:
        .incbin "bitmap2.bin"
        .endif
        .org    0x40000 - 2
        .word   0

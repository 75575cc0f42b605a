| Bootable 256 KB STE ROM image (TOS-style header, base 0xE00000) that shows
| a picture file. This is the template: `ste-host embed` copies a picture
| file (and optionally a second bitmap) into its payload area and fills the
| parameter block at offset 0x30.
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

| Parameter block (big-endian), filled in by the embedding tool.
        .org    0x30
        .ascii  "BVKROM01"              | 0x30 magic
param_mode:
        .word   0                       | 0x38 screen mode 0..2
param_block:
        .word   1                       | 0x3a lines per palette block 1..6
param_sets:
        .word   1                       | 0x3c palette sets 1 or 2
param_bitmap2:
        .word   0                       | 0x3e 1 when a second bitmap follows
        .long   payload - 0xE00000      | 0x40 payload offset (picture file)
param_size:
        .long   0                       | 0x44 picture file size
param_bitmap2_offset:
        .long   0                       | 0x48 offset of the second bitmap
        .long   0x40000                 | 0x4c image size
param_shift:
        .word   0                       | 0x50 column shift (shiftpixels - 5)

        .org    0x60
reset:
        move.w  #0x2700,sr
        move.b  #0x05,0xffff8001.w      | memory: two banks of 512 KB
        lea     0x8000,sp
| The routine runs from RAM, as it does when loaded by TOS: the ST inserts
| wait states that round bus accesses to RAM up to 4-cycle slots, which ROM
| fetches do not have, and the routine's cycle counts assume RAM. Its copy
| (about 42 KB) must end below the work area at 0x40000.
        lea     routine(pc),a4
        lea     0x30000,a5
        move.w  #(routine_end-routine)/2-1,d0
1:      move.w  (a4)+,(a5)+
        dbra    d0,1b
        lea     payload,a0              | absolute: more than 32 KB past this code
        sub.l   a1,a1
        move.w  param_bitmap2(pc),d0
        beq.s   2f
        lea     0xE00000,a1
        add.l   param_bitmap2_offset(pc),a1
2:      lea     0x40000,a2              | work area (modes 0..2 use 0x20000 bytes, mode 3 0x24900)
        lea     halt(pc),a3
        move.w  param_mode(pc),d1
        move.w  param_block(pc),d2
        move.w  param_sets(pc),d3
        move.w  param_shift(pc),d5
        moveq   #0,d4                   | no keyboard in an emulator run
        jmp     0x30000 + (display_start - routine)
halt:   bra.s   halt

        .balign 2
routine:
        .include "display.S"
routine_end:

        .balign 16
payload:
        .org    0x40000 - 2
        .word   0

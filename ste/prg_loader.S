| Test ROM image for SHOWBVK.PRG: a 256 KB STE ROM (same header and
| parameter block as rom.S, filled by `ste-host embed`) that loads the TOS
| program into RAM the way GEMDOS would and answers the few GEMDOS calls it
| makes, serving the embedded picture file for any name. The program then
| parses its command line, reads and checks the file and runs the display
| routine, so the emulator shows what it would show under TOS.
        .text
        .org    0
        bra.s   reset
        .word   0x0206
        .long   reset
        .long   0xE00000
        .long   reset
        .long   0
        .long   0
        .long   0x01012026
        .word   0
        .word   0

        .org    0x30
        .ascii  "BVKROM01"
param_mode:
        .word   0
param_block:
        .word   1
param_sets:
        .word   1
        .word   0                       | no second bitmap (the program takes one file)
        .long   payload - 0xE00000
param_size:
        .long   0
        .long   0
        .long   0x40000
param_shift:
        .word   0

        .equ BASEPAGE, 0x3ff00
        .equ TPA, 0x40000
        .equ READ_POSITION, 0x800       | how much of the file was read
        .equ TRAP1_VECTOR, 0x84

        .org    0x60
reset:
        move.w  #0x2700,sr
        move.b  #0x05,0xffff8001.w      | two banks of 512 KB
        lea     0x8000,sp
        lea     program+28(pc),a0       | text after the 28-byte header
        lea     TPA,a1
        move.l  program+2(pc),d0        | text size
        move.l  d0,d1
        lsr.l   #1,d0
        subq.l  #1,d0
1:      move.w  (a0)+,(a1)+
        dbra    d0,1b
        lea     BASEPAGE,a2             | basepage: text and bss addresses
        move.l  #TPA,8(a2)
        move.l  #TPA,d0
        add.l   d1,d0
        move.l  d0,0x18(a2)
        lea     0x80(a2),a1             | command tail " P.BVK M L S X"
        lea     tail(pc),a0
        moveq   #tail_end-tail-1,d0
2:      move.b  (a0)+,(a1)+
        dbra    d0,2b
        move.w  param_mode(pc),d0
        add.b   d0,0x80+8(a2)
        move.w  param_block(pc),d0
        add.b   d0,0x80+10(a2)
        move.w  param_sets(pc),d0
        add.b   d0,0x80+12(a2)
        move.w  param_shift(pc),d0      | shiftpixels = shift + 5
        add.b   d0,0x80+14(a2)
        move.b  #0x03,0xfffffc00.w      | keyboard ACIA: master reset, then
        move.b  #0x96,0xfffffc00.w      | receive interrupts on, as TOS leaves it
        clr.l   READ_POSITION.w
        lea     gemdos(pc),a0
        move.l  a0,TRAP1_VECTOR.w
        move.l  a2,-(sp)                | the program finds its basepage at 4(sp)
        clr.l   -(sp)
        jmp     TPA

| Command tail: length byte, then the text; the digits are patched in.
tail:   .byte   14
        .ascii  " P.BVK 0 0 0 5"
        .byte   0
tail_end:
        .balign 2

| GEMDOS: the function number is above the exception frame (the program runs
| in supervisor mode all along, so the arguments are on this stack).
gemdos: move.w  6(sp),d0
        cmp.w   #0x3d,d0                | Fopen: handle 6
        bne.s   1f
        clr.l   READ_POSITION.w
        moveq   #6,d0
        rte
1:      cmp.w   #0x3f,d0                | Fread(handle, count, buffer)
        bne.s   2f
        movem.l d1/a0-a1,-(sp)          | (the buffer is even, the payload too)
        move.l  12+10(sp),d1            | count
        move.l  12+14(sp),a1            | buffer
        move.l  param_size(pc),d0
        sub.l   READ_POSITION.w,d0      | bytes left
        cmp.l   d0,d1
        bls.s   3f
        move.l  d0,d1
3:      lea     payload,a0              | absolute: past the program, out of (pc) reach
        add.l   READ_POSITION.w,a0
        add.l   d1,READ_POSITION.w
        move.l  d1,d0
        bra.s   5f
4:      move.l  (a0)+,(a1)+             | longs (both ends are even)
5:      subq.l  #4,d1
        bpl.s   4b
        addq.l  #4,d1
        bra.s   9f
8:      move.b  (a0)+,(a1)+             | then the last bytes
9:      subq.l  #1,d1
        bpl.s   8b
        movem.l (sp)+,d1/a0-a1
        rte
2:      cmp.w   #0x20,d0                | Super: already in supervisor mode
        bne.s   6f
        move.l  sp,d0
        rte
6:      cmp.w   #0x3e,d0                | Fclose
        beq.s   7f
        cmp.w   #9,d0                   | Cconws: a failure message; stop
        beq.s   halt
        cmp.w   #0x4c,d0                | Pterm
        beq.s   halt
        tst.w   d0                      | Pterm0
        beq.s   halt
7:      moveq   #0,d0
        rte
halt:   bra.s   halt

        .balign 2
program:
        .incbin "SHOWBVK.PRG"
        .balign 16
payload:
        .org    0x40000 - 2
        .word   0

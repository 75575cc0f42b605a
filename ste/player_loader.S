| Test ROM image for ZRPPLAY.PRG: a 256 KB STE ROM that loads the TOS
| program into RAM the way GEMDOS would, gives it the command tail of the
| parameter block, and answers the GEMDOS calls it makes, serving one file
| for any name: the first ACSI disk from its first sector on (the container
| file itself is the disk image). Its Fread and Fseek work on whole sectors
| at whole-sector positions, which is all the program asks for; the sectors
| come through the DMA chip as in the player's own ROM.
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

| Parameter block: the command tail at 0x80 (length byte, text), patched
| by tools/st-play.sh.
        .org    0x30
        .ascii  "ZRPPRG01"              | 0x30 magic
        .org    0x60
reset:  bra.w   start
        .org    0x80
tail:   .byte   6                       | 0x80 length, then up to 125 characters
        .ascii  " D.ZRP"
        .org    0x100

        .include "container.inc"
        .equ BASEPAGE, 0x3ff00
        .equ TPA, 0x40000
        .equ HEADER, 0x1000             | the disk's first sector, read by Fopen
        .equ FILE_POSITION, 0x800
        .equ FILE_SIZE, 0x804
        .equ TRAP1_VECTOR, 0x84
        .equ EOF_ERROR, -1              | GEMDOS "error"
        .equ RANGE_ERROR, -64           | GEMDOS ERANGE

start:
        move.w  #0x2700,sr
        move.b  #2,0xffff820a.w         | 50 Hz, as TOS leaves a PAL STE
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
        lea     0x80(a2),a1             | command tail
        lea     tail(pc),a0
        moveq   #127,d0
2:      move.b  (a0)+,(a1)+
        dbra    d0,2b
        move.b  #0x03,0xfffffc00.w      | keyboard ACIA: master reset, then
        move.b  #0x96,0xfffffc00.w      | receive interrupts on, as TOS leaves it
        lea     microwire(pc),a0        | sound: full volume, flat, YM mixed in,
        moveq   #MICROWIRE_COMMANDS-1,d1 | as TOS leaves it
3:      move.w  (a0)+,d0
        bsr     microwire_send
        dbra    d1,3b
        clr.l   FILE_POSITION.w
        lea     gemdos(pc),a0
        move.l  a0,TRAP1_VECTOR.w
        move.l  a2,-(sp)                | the program finds its basepage at 4(sp)
        clr.l   -(sp)
        jmp     TPA

| GEMDOS: the function number is above the exception frame (the program runs
| in supervisor mode all along, so the arguments are on this stack).
gemdos: move.w  6(sp),d0
        cmp.w   #0x3d,d0                | Fopen: handle 6, the size from the header
        bne.s   1f
        movem.l d1-d2/a0-a2,-(sp)
        clr.l   FILE_POSITION.w
        lea     HEADER.w,a0
        moveq   #0,d0
        moveq   #1,d1
        bsr     acsi_read
        tst.l   d0
        bne.s   3f
        move.l  HEADER+COUNT_OFFSET.w,d0 | FIRST_RECORD + RECORD_BYTES x frames
        move.l  d0,d1                   | (RECORD_BYTES = 166 x 256)
        swap    d1
        mulu    #RECORD_BYTES/256,d1    | high word of the count
        swap    d1
        clr.w   d1
        mulu    #RECORD_BYTES/256,d0    | low word
        add.l   d1,d0
        lsl.l   #8,d0
        add.l   #FIRST_RECORD,d0
        move.l  d0,FILE_SIZE.w
        moveq   #6,d0
        movem.l (sp)+,d1-d2/a0-a2
        rte
3:      moveq   #-33,d0                 | EFILNF
        movem.l (sp)+,d1-d2/a0-a2
        rte
1:      cmp.w   #0x3f,d0                | Fread(handle, count, buffer)
        bne.s   4f
        movem.l d1-d3/a0-a2,-(sp)
        move.l  24+10(sp),d3            | count
        move.l  24+14(sp),a0            | buffer
        move.l  FILE_SIZE.w,d0          | not past the end
        sub.l   FILE_POSITION.w,d0
        cmp.l   d0,d3
        bls.s   5f
        move.l  d0,d3
5:      move.l  d3,d0                   | whole sectors only
        or.l    FILE_POSITION.w,d0
        and.w   #511,d0
        bne.s   8f
        move.l  d3,-(sp)
6:      tst.l   d3
        beq.s   7f
        move.l  FILE_POSITION.w,d0
        moveq   #9,d1
        lsr.l   d1,d0                   | sector
        move.l  d3,d1
        lsr.l   #8,d1
        lsr.l   #1,d1                   | sectors left
        cmp.l   #128,d1
        bls.s   9f
        move.l  #128,d1
9:      move.l  d1,d2
        lsl.l   #8,d2
        add.l   d2,d2                   | bytes of this piece
        sub.l   d2,d3
        add.l   d2,FILE_POSITION.w
        move.l  a0,-(sp)
        move.l  d2,-(sp)
        bsr     acsi_read
        move.l  (sp)+,d2
        move.l  (sp)+,a0
        add.l   d2,a0
        tst.l   d0
        beq.s   6b
        addq.l  #4,sp
        moveq   #EOF_ERROR,d0
        bra.s   10f
7:      move.l  (sp)+,d0                | bytes read
        bra.s   10f
8:      moveq   #RANGE_ERROR,d0
10:     movem.l (sp)+,d1-d3/a0-a2
        rte
4:      cmp.w   #0x42,d0                | Fseek(offset, handle, mode)
        bne.s   11f
        move.l  8(sp),d0
        cmp.w   #1,14(sp)
        bne.s   12f
        add.l   FILE_POSITION.w,d0      | from the current position
12:     cmp.w   #2,14(sp)
        bne.s   13f
        add.l   FILE_SIZE.w,d0          | from the end
13:     tst.l   d0
        bmi.s   14f
        cmp.l   FILE_SIZE.w,d0
        bhi.s   14f
        move.l  d0,FILE_POSITION.w
        rte
14:     moveq   #RANGE_ERROR,d0
        rte
11:     cmp.w   #0x20,d0                | Super: already in supervisor mode
        bne.s   15f
        move.l  sp,d0
        rte
15:     cmp.w   #0x3e,d0                | Fclose
        beq.s   16f
        cmp.w   #9,d0                   | Cconws: a failure message; stop
        beq.s   failed
        cmp.w   #0x4c,d0                | Pterm
        beq.s   halt
        tst.w   d0                      | Pterm0
        beq.s   halt
16:     moveq   #0,d0
        rte
failed: move.w  #0x700,0xffff8240.w     | red
halt:   bra.s   halt

        .include "acsi.inc"
        .include "microwire.inc"

        .balign 2
program:
        .incbin "ZRPPLAY.PRG"
        .org    0x40000 - 2
        .word   0

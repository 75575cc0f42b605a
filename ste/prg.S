| TOS program that shows a picture file on an STE:
|   SHOWBVK.PRG FILE.BVK [MODE [LINES [SETS [SHIFT]]]]
| MODE 0 (default), 1, 2 or 3 (416 x 229 overscan) is the screen mode,
| LINES (1..6, default 1) the lines per palette block, SETS 2 for the
| two-palette files (default 1), SHIFT the encoder's shiftpixels (0..9,
| default 5; mode 2 takes 1, 5 or 9, mode 1 3 or 7, mode 3 2 only).
| Any key (or a mouse move) ends it and restores the screen. The code is
| position independent, so the relocation table is empty.
        .text
        .org    0
        .word   0x601a
        .long   text_end - text_start   | text size
        .long   0                       | data size
        .long   BSS_SIZE                | bss size
        .long   0                       | symbol table size
        .long   0
        .long   0                       | flags
        .word   0                       | absolute flag: relocate (empty table)

        .equ FILE_MAX, 32000 + 2 * 200 * 160
        .equ WORK_MAX, 0x24900          | the work area of the largest mode (3)
        .equ BSS_SIZE, FILE_MAX + 256 + WORK_MAX + 64
| Saved machine state, after the work area.
        .equ S_USP, WORK_MAX
        .equ S_SSP, WORK_MAX + 4
        .equ S_BASE, WORK_MAX + 8
        .equ S_RES, WORK_MAX + 12
        .equ S_SYNC, WORK_MAX + 13
        .equ S_PAL, WORK_MAX + 16

        .include "tos_command_tail.inc"

text_start:
        FIRST_ARGUMENT
        moveq   #0,d5                   | mode
        moveq   #1,d6                   | lines per block
        moveq   #1,d7                   | palette sets
        moveq   #5,d2                   | shiftpixels
        bsr     next_digit
        bmi.s   5f
        move.w  d0,d5
        bsr     next_digit
        bmi.s   5f
        move.w  d0,d6
        bsr     next_digit
        bmi.s   5f
        move.w  d0,d7
        bsr     next_digit
        bmi.s   5f
        move.w  d0,d2
5:      cmp.w   #3,d5
        bhi     usage
        subq.w  #5,d2                   | column shift, -5..4
        tst.w   d5                      | writes land on every 4th column:
        beq.s   8f                      | mode 1 takes -2 and 2, mode 2 -4, 0
        move.w  d2,d0                   | and 4, mode 3 -3 only, mode 0
        cmp.w   #3,d5                   | ignores the shift
        bne.s   11f
        addq.w  #3,d0
        bne     usage
        bra.s   10f
11:     cmp.w   #1,d5
        bne.s   9f
        addq.w  #2,d0
9:      and.w   #3,d0
        bne     usage
        bra.s   10f
8:      moveq   #0,d2
10:     move.w  d2,-(sp)                | kept for display_start
        tst.w   d6
        beq     usage
        cmp.w   #6,d6
        bhi     usage
        tst.w   d7
        beq     usage
        cmp.w   #2,d7
        bhi     usage

        move.l  0x18(a6),a3             | bss: file buffer, then work area
        move.w  #0,-(sp)                | Fopen(name, read)
        move.l  a4,-(sp)
        move.w  #0x3d,-(sp)
        trap    #1
        addq.l  #8,sp
        tst.l   d0
        bmi     cannot_read
        move.w  d0,d4
        move.l  a3,-(sp)                | Fread(handle, FILE_MAX, buffer)
        move.l  #FILE_MAX,-(sp)
        move.w  d4,-(sp)
        move.w  #0x3f,-(sp)
        trap    #1
        lea     12(sp),sp
        move.l  d0,d3
        move.w  d4,-(sp)                | Fclose
        move.w  #0x3e,-(sp)
        trap    #1
        addq.l  #4,sp
        tst.l   d3
        bmi     cannot_read

        lea     words_table(pc),a0      | expected size
        move.w  d5,d0
        add.w   d0,d0
        move.w  0(a0,d0.w),d1           | bytes per record
        lea     lines_table(pc),a0
        move.w  0(a0,d0.w),d4           | lines H
        move.w  d6,d0                   | blocks: (H - 1 + N - (N + 1) / 2) / N + 1
        addq.w  #1,d0
        lsr.w   #1,d0
        neg.w   d0
        add.w   d4,d0
        subq.w  #1,d0
        add.w   d6,d0
        ext.l   d0
        divu    d6,d0
        addq.w  #1,d0
        mulu    d1,d0
        cmp.w   #2,d7
        bne.s   6f
        mulu    d4,d1
        add.l   d1,d0
6:      move.l  #32000,d4               | the bitmap
        cmp.w   #3,d5
        bne.s   12f
        move.l  #M3_BITMAP_BYTES,d4
12:     add.l   d4,d0
        cmp.l   d0,d3
        bne     wrong_size

        clr.l   -(sp)                   | Super(0)
        move.w  #0x20,-(sp)
        trap    #1
        addq.l  #6,sp
        move.l  a3,d1                   | work area, 256-byte aligned
        add.l   #FILE_MAX+255,d1
        and.l   #0xffffff00,d1
        move.l  d1,a2
        move.l  a2,a5
        add.l   #WORK_MAX,a5            | saved state
        move.l  d0,S_SSP-WORK_MAX(a5)
        move.l  usp,a0
        move.l  a0,S_USP-WORK_MAX(a5)
        lea     0xffff8201.w,a0
        movep.w 0(a0),d0
        move.w  d0,S_BASE-WORK_MAX(a5)
        move.b  0xffff820d.w,S_BASE+2-WORK_MAX(a5)
        move.b  0xffff8260.w,S_RES-WORK_MAX(a5)
        move.b  0xffff820a.w,S_SYNC-WORK_MAX(a5)
        lea     0xffff8240.w,a0
        lea     S_PAL-WORK_MAX(a5),a1
        moveq   #15,d0
7:      move.w  (a0)+,(a1)+
        dbra    d0,7b
        bsr     flush_keyboard

        move.l  a3,a0
        sub.l   a1,a1
        lea     finished(pc),a3
        move.w  d5,d1
        move.w  d6,d2
        move.w  d7,d3
        moveq   #0x10,d4                | leave on a key press
        move.w  (sp),d5                 | column shift
        bra     display_start

finished:
        move.l  usp,a5
        add.l   #WORK_MAX,a5
        move.l  S_USP-WORK_MAX(a5),a0
        move.l  a0,usp
        lea     0xffff8240.w,a0
        lea     S_PAL-WORK_MAX(a5),a1
        moveq   #15,d0
1:      move.w  (a1)+,(a0)+
        dbra    d0,1b
        move.b  S_RES-WORK_MAX(a5),0xffff8260.w
        move.b  S_SYNC-WORK_MAX(a5),0xffff820a.w
        move.w  S_BASE-WORK_MAX(a5),d0
        lea     0xffff8201.w,a0
        movep.w d0,0(a0)
        move.b  S_BASE+2-WORK_MAX(a5),0xffff820d.w
        bsr     flush_keyboard
        move.w  #0x2300,sr
        move.l  S_SSP-WORK_MAX(a5),-(sp) | back to user mode
        move.w  #0x20,-(sp)
        trap    #1
        addq.l  #6,sp
        clr.w   -(sp)                   | Pterm0
        trap    #1

| Drops the bytes waiting in the keyboard ACIA.
flush_keyboard:
        btst    #0,0xfffffc00.w
        beq.s   1f
        move.b  0xfffffc02.w,d0
        bra.s   flush_keyboard
1:      rts

| Next blank-separated decimal digit of the command tail at a5, in d0;
| negative when there is none.
next_digit:
        cmp.b   #' ',(a5)
        bne.s   1f
        addq.l  #1,a5
        bra.s   next_digit
1:      moveq   #0,d0
        move.b  (a5),d0
        sub.b   #'0',d0
        bmi.s   2f
        cmp.b   #9,d0
        bhi.s   2f
        addq.l  #1,a5
        tst.w   d0
        rts
2:      moveq   #-1,d0
        rts

usage:
        lea     usage_text(pc),a0
        bra.s   fail
cannot_read:
        lea     read_text(pc),a0
        bra.s   fail
wrong_size:
        lea     size_text(pc),a0
fail:   move.l  a0,-(sp)                | Cconws
        move.w  #9,-(sp)
        trap    #1
        addq.l  #6,sp
        move.w  #7,-(sp)                | Crawcin: wait for a key
        trap    #1
        addq.l  #2,sp
        move.w  #1,-(sp)                | Pterm(1)
        move.w  #0x4c,-(sp)
        trap    #1

words_table:
        .word   108, 160, 96, 96
lines_table:
        .word   200, 200, 200, 229
usage_text:
        .asciz  "usage: SHOWBVK FILE.BVK [MODE 0..3 [LINES 1..6 [SETS 1|2 [SHIFT 0..9]]]]\r\n"
read_text:
        .asciz  "SHOWBVK: cannot read the picture file\r\n"
size_text:
        .asciz  "SHOWBVK: the file size does not fit the mode, lines and sets\r\n"
        .balign 2

        .include "display.S"
        .if WORK_MAX - WORK_SIZE_3
        .error "WORK_MAX is not mode 3's work area"
        .endif
        .balign 2
text_end:
        .long   0                       | empty relocation table

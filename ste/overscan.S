| Mode 3: 416 x 229 pictures with the borders opened (included by display.S).
|
| The GLUE starts and ends the display on fixed cycles of the line and on
| fixed lines of the frame, each position chosen by the current frequency and
| resolution. The routine moves them by writing the sync ($ff820a) and the
| resolution ($ff8260) on exact cycles (Hatari's line cycles; the effect of a
| write is the end of its bus cycle):
|   top      60 Hz from cycle 496 to 504 of line 33: the display starts on
|            line 34 (the 60 Hz start) instead of 63;
|   left     high resolution at cycle 4, low again at 20: the line starts at
|            cycle 4 (the high-resolution start) instead of 56;
|   right    60 Hz at cycle 376, 50 Hz again at 384: the 50 Hz end (376) is
|            missed and the line runs on to cycle 460.
| A line then fetches 230 bytes (26 + 160 + 44). Its first pixel lies 52
| pixels left of an ordinary line's, 4 pixels left of the 48-pixel left border
| an STE monitor (and Hatari with its borders) shows, so the picture starts 4
| pixels into each screen line; its 229 lines are lines 34..262 (29 lines of
| top border and the 200 ordinary ones), so the bottom border stays closed.
|
| While the beam draws a line, its 48 palette words go out on the mode-3
| schedule with the shift -3 (shiftpixels 2): a palette write lands on every
| 4th column, and of the two shifts on that grid only -3 leaves room for the
| right-border write right after the third reload of registers 8..15. One
| line, cycle by cycle (a write at cycle C shows from column C - 34):
|     12  move.w a7,$ffff8260.w     low resolution (written at 20)
|     24  movem.l (a6)+ 11 longs    2nd slots; next line's 1st slots 10..15
|    128  movem.l 4 longs,(a0)      2nd slots, registers 0..7 from column 102
|    168  movem.l 4 longs,(a1)      registers 8..15 from column 142
|    208  movem.l (a6)+ 8 longs     3rd slots
|    292  movem.l 4 longs,(a0)      3rd slots, registers 0..7 from column 266
|    332  movem.l 4 longs,(a1)      registers 8..15 from column 306
|    372  move.w a7,(a2)            60 Hz (written at 376)
|    380  move.w a2,(a2)            50 Hz (written at 384)
|    388  movem.l (a6)+ 5 longs     next line's 1st slots 0..9
|    444  movem.l 9 longs,(a0)      next line's 1st slots from column 418
|                                   (registers 8..15 from 450, past the
|                                   picture), then a6 into $ff8260: its top
|                                   byte, 2, is high resolution at cycle 4
|                                   of the next line
| 8 cycles are spare (nops). Registers: a0 = $ff8240, a1 = $ff8250,
| a2 = $ff820a, a7 = 0, a6 = palette records with 2 in its top byte (the
| 68000 ignores address bits 24..31), d0-d7/a3-a5 the words in flight.
|
| The palette records are rearranged at set-up in the order the line reads
| them: a head record (the first line's 1st slots), then per line y its 2nd
| slots, words 10..15 of line y + 1, its 3rd slots and words 0..9 of line
| y + 1 (48 words; black after the last line).

        .equ M3_LINES, 229
        .equ M3_FIRST_LINE, 34          | first line of the picture
        .equ M3_SHIFT, -3               | the one shift the line can follow
        .equ M3_LINE_BYTES, 230         | bytes a line with both borders open fetches
        .equ M3_PICTURE_BYTES, 208      | bytes of a picture line (416 pixels)
        .equ M3_BITMAP_BYTES, M3_PICTURE_BYTES * M3_LINES
        .equ M3_SCREEN_BYTES, M3_LINE_BYTES * M3_LINES
        .equ M3_RECORD_WORDS, 48
        .equ M3_PALETTE_BYTES, (16 + M3_RECORD_WORDS * M3_LINES) * 2
| Work area of mode 3 (screens 256-byte aligned for the video base).
        .equ SCREEN3_A, 0x100
        .equ SCREEN3_B, (SCREEN3_A + M3_SCREEN_BYTES + 255) / 256 * 256
        .equ PAL3_A, (SCREEN3_B + M3_SCREEN_BYTES + 255) / 256 * 256
        .equ PAL3_B, PAL3_A + M3_PALETTE_BYTES
        .equ WORK_SIZE_3, PAL3_B + M3_PALETTE_BYTES
        .equ RECORDS_POINTER_TAG, 0x02000000  | top byte 2: high resolution

| Beam positions (Hatari's line cycles at which a write takes effect) and
| the column of the picture a palette write shows from: a write bus cycle
| starting at line cycle C shows from column C - M3_COLUMN_CYCLE + 1, as
| COLUMN_CYCLE for the ordinary picture, whose first column is the 49th of
| this one. A palette write shows where the beam is, whatever the line's
| start; only the bitmap moves (52 pixels left, with the line's start).
        .ifndef M3_COLUMN_CYCLE
        .equ M3_COLUMN_CYCLE, COLUMN_CYCLE - 48
        .endif
        .equ TOP_60HZ_CYCLE, 496        | line 33; the GLUE looks at ~502
        .equ TOP_50HZ_CYCLE, 504
        .equ RIGHT_60HZ_CYCLE, 376      | the 50 Hz line end
        .equ RIGHT_50HZ_CYCLE, 384
        .equ LEFT_HIGH_CYCLE, 4         | the high-resolution line start
        .equ LEFT_LOW_CYCLE, 20

| One picture line, from cycle 12 of the line to cycle 12 of the next one.
        .equ M3_LINE_START, 12
        .macro M3_LINE
        move.w  a7,0xffff8260.w         | 12: low resolution at 20
        movem.l (a6)+,d0-d7/a3-a5       | 12+88: 2nd slots, next 1st slots 10..15
        nop
        movem.l d0-d3,(a0)              | 8+32: registers 0..7, 2nd slots
        movem.l d4-d7,(a1)              | 8+32: registers 8..15, 2nd slots
        movem.l (a6)+,d0-d7             | 12+64: 3rd slots
        nop
        nop
        movem.l d0-d3,(a0)              | 8+32: registers 0..7, 3rd slots
        movem.l d4-d7,(a1)              | 8+32: registers 8..15, 3rd slots
        move.w  a7,(a2)                 | 8: 60 Hz at 376, the right border opens
        move.w  a2,(a2)                 | 8: 50 Hz ($82) at 384
        movem.l (a6)+,d0-d4             | 12+40: next line's 1st slots 0..9
        nop
        movem.l d0-d4/a3-a6,(a0)        | 8+72: next 1st slots, high resolution
        .endm
| Line cycles at which the write bus cycles that the checks below look at
| start (a move to (An) writes first, a movem.l after its extension word).
        .equ M3_LOW_WRITE, 12 + 4
        .equ M3_SLOT2_WRITE, 12 + 12 + 100 + 4 + 4
        .equ M3_SLOT2B_WRITE, M3_SLOT2_WRITE + 40
        .equ M3_SLOT3_WRITE, M3_SLOT2B_WRITE - 4 + 40 + 76 + 8 + 4
        .equ M3_SLOT3B_WRITE, M3_SLOT3_WRITE + 40
        .equ M3_60HZ_WRITE, M3_SLOT3B_WRITE - 4 + 40
        .equ M3_50HZ_WRITE, M3_60HZ_WRITE + 8
        .equ M3_SLOT1_WRITE, M3_50HZ_WRITE + 8 + 52 + 4 + 4
        .equ M3_HIGH_WRITE, M3_SLOT1_WRITE + 64
        .equ M3_LINE_CYCLES, M3_SLOT1_WRITE - 4 + 80 - M3_LINE_START

        .if M3_LINE_CYCLES - LINE_CYCLES
        .error "mode 3: the line's code is not one line long"
        .endif
| The border writes land where the GLUE looks (effect = write cycle + 4).
        .if (M3_LOW_WRITE + 4 - LEFT_LOW_CYCLE) | (M3_60HZ_WRITE + 4 - RIGHT_60HZ_CYCLE) | (M3_50HZ_WRITE + 4 - RIGHT_50HZ_CYCLE) | (M3_HIGH_WRITE + 4 - LINE_CYCLES - LEFT_HIGH_CYCLE)
        .error "mode 3: a border write is off its cycle"
        .endif
| The reloads land on the schedule's columns (shift M3_SHIFT).
        .irp r, 0,1,2,3,4,5,6,7
        EXPECT_COLUMN S3_R\r\()_2 + M3_SHIFT, M3_SLOT2_WRITE + 4 * \r - M3_COLUMN_CYCLE + 1
        EXPECT_COLUMN S3_R\r\()_3 + M3_SHIFT, M3_SLOT3_WRITE + 4 * \r - M3_COLUMN_CYCLE + 1
| The next line's 1st slot after the 3rd slot's last column (95 past its first).
        .if M3_SLOT1_WRITE + 4 * \r - M3_COLUMN_CYCLE + 1 <= S3_R\r\()_3 + M3_SHIFT + 95
        .error "mode 3: a register is reloaded while its 3rd slot is shown"
        .endif
        .endr
        .irp r, 8,9,10,11,12,13,14,15
        EXPECT_COLUMN S3_R\r\()_2 + M3_SHIFT, M3_SLOT2B_WRITE + 4 * (\r - 8) - M3_COLUMN_CYCLE + 1
        EXPECT_COLUMN S3_R\r\()_3 + M3_SHIFT, M3_SLOT3B_WRITE + 4 * (\r - 8) - M3_COLUMN_CYCLE + 1
        .if M3_SLOT1_WRITE + 4 * \r - M3_COLUMN_CYCLE + 1 <= S3_WIDTH
        .error "mode 3: a register is reloaded while the picture is shown"
        .endif
        .endr
| ...and the last 1st slot before the next line's first column.
        .if M3_SLOT1_WRITE + 4 * 15 - M3_COLUMN_CYCLE + 1 > LINE_CYCLES
        .error "mode 3: the next line's 1st slots come too late"
        .endif

| Set-up of mode 3 (from display_start, with its registers): copies the
| bitmap(s) into overscan screens, rearranges the palette records, then
| joins the common video set-up.
setup_3:
        move.w  #0,V_SHIFT_COUNT(a5)
        lea     SCREEN3_A(a5),a4
        bsr     overscan_bitmap
        move.l  a4,d0
        lsr.l   #8,d0
        move.l  d0,V_SCR0(a5)
        move.l  d0,V_SCR1(a5)
        cmp.w   #0,a1
        beq.s   1f
        move.l  a0,-(sp)
        move.l  a1,a0
        move.l  a5,a4
        add.l   #SCREEN3_B,a4
        bsr     overscan_bitmap
        move.l  (sp)+,a0
        move.l  a4,d0
        lsr.l   #8,d0
        move.l  d0,V_SCR1(a5)
1:      move.l  a0,a3                   | first set: one record per block
        add.l   #M3_BITMAP_BYTES,a3
        move.l  a5,a4
        add.l   #PAL3_A,a4
        move.l  a4,d0
        or.l    #RECORDS_POINTER_TAG,d0
        move.l  d0,V_PAL0(a5)
        move.l  d0,V_PAL1(a5)
        bsr     overscan_palettes
        cmp.w   #2,d3
        bne.s   2f
        move.w  d2,d0                   | the second set follows the blocks'
        addq.w  #1,d0                   | (M3_LINES - 1 + N - (N + 1) / 2) / N + 1
        lsr.w   #1,d0                   | records (see display_start)
        neg.w   d0
        add.w   #M3_LINES-1,d0
        add.w   d2,d0
        ext.l   d0
        divu    d2,d0
        addq.w  #1,d0
        mulu    #M3_RECORD_WORDS*2,d0
        add.l   d0,a3
        move.l  a5,a4
        add.l   #PAL3_B,a4
        move.l  a4,d0
        or.l    #RECORDS_POINTER_TAG,d0
        move.l  d0,V_PAL1(a5)
        move.w  d2,-(sp)
        moveq   #1,d2                   | one record per line
        bsr     overscan_palettes
        move.w  (sp)+,d2
2:      bra     video_setup

| Copies a 416 x 229 bitmap (a0) into an overscan screen (a4): lines of
| M3_LINE_BYTES, each picture line 4 pixels into its screen line (the bits
| of every plane word move right by 4, across the 16-pixel groups: the low
| word of (previous word << 16 | word) >> 4). The 27th group takes the last
| 4 pixels; the bytes after it are cleared.
        .equ M3_GROUPS, M3_PICTURE_BYTES / 8
overscan_bitmap:
        movem.l d0-d7/a0-a4,-(sp)
        move.w  #M3_LINES-1,d7
1:      moveq   #3,d6                   | planes
        move.l  a0,a1
        move.l  a4,a2
2:      moveq   #0,d1                   | previous word in the high half
        moveq   #M3_GROUPS-1,d5
3:      move.w  (a1),d1
        move.l  d1,d0
        lsr.l   #4,d0
        move.w  d0,(a2)
        swap    d1
        addq.l  #8,a1
        addq.l  #8,a2
        dbra    d5,3b
        clr.w   d1                      | the 27th group
        lsr.l   #4,d1
        move.w  d1,(a2)
        sub.w   #M3_GROUPS*8-2,a1       | next plane
        sub.w   #M3_GROUPS*8-2,a2
        dbra    d6,2b
        lea     (M3_GROUPS+1)*8(a4),a2  | the rest of the screen line
        moveq   #(M3_LINE_BYTES-(M3_GROUPS+1)*8)/2-1,d0
5:      clr.w   (a2)+
        dbra    d0,5b
        lea     M3_PICTURE_BYTES(a0),a0
        lea     M3_LINE_BYTES(a4),a4
        dbra    d7,1b
        movem.l (sp)+,d0-d7/a0-a4
        rts

| Writes one palette set (records at a3, one per d2 lines) to a4 in the
| order the line reads it (see the top of this file).
overscan_palettes:
        movem.l d0-d7/a0-a4,-(sp)
        moveq   #0,d6                   | line y (from 0)
        bsr     overscan_record         | a0 = record of line 0
        moveq   #15,d0                  | head: 1st slots of the first line
1:      move.w  (a0)+,(a4)+
        dbra    d0,1b
2:      bsr     overscan_record
        move.l  a0,a1                   | record of line y
        addq.w  #1,d6
        bsr     overscan_record         | a0 = record of line y + 1
        lea     32(a1),a2               | 2nd slots
        moveq   #15,d0
3:      move.w  (a2)+,(a4)+
        dbra    d0,3b
        lea     20(a0),a2               | next 1st slots, words 10..15
        moveq   #5,d0
4:      move.w  (a2)+,(a4)+
        dbra    d0,4b
        lea     64(a1),a2               | 3rd slots
        moveq   #15,d0
5:      move.w  (a2)+,(a4)+
        dbra    d0,5b
        move.l  a0,a2                   | next 1st slots, words 0..9
        moveq   #9,d0
6:      move.w  (a2)+,(a4)+
        dbra    d0,6b
        cmp.w   #M3_LINES,d6
        blt.s   2b
        movem.l (sp)+,d0-d7/a0-a4
        rts

| a0 = record of line d6 (from 0): record (d6 / d2) of a3, or black past the
| last line. Uses d7.
overscan_record:
        cmp.w   #M3_LINES,d6
        bge.s   1f
        moveq   #0,d7
        move.w  d6,d7
        divu    d2,d7
        mulu    #M3_RECORD_WORDS*2,d7
        lea     0(a3,d7.l),a0
        rts
1:      lea     black_record(pc),a0
        rts
black_record:
        .fill   M3_RECORD_WORDS, 2, 0

        .macro M3_POINTERS
        lea     PALETTE.w,a0
        lea     PALETTE+16.w,a1
        lea     0xffff820a.w,a2
        sub.l   a7,a7                   | zero for 60 Hz and low resolution; no stack
        .endm

        .equ FIRST_LINE_50HZ, 63        | the line BEAM_LOCK locks on
        .equ IDLE_3, (FRAME_LINES - M3_LINES - 1) * LINE_CYCLES - M3_LINE_START

| Entry: two locks as in ENTER, then on to the housekeeping at line 263
| (M3_FIRST_LINE + M3_LINES).
enter_3:
        M3_POINTERS
        BEAM_LOCK
        BEAM_LOCK
        DELAY (M3_FIRST_LINE + M3_LINES - FIRST_LINE_50HZ) * LINE_CYCLES + M3_LINE_START - LOCK_EXIT - BRA_CYCLES
        bra.w   idle_3

| One frame, from cycle 0 of line 33: the first line's 1st slots, the top
| border, 229 picture lines, then the housekeeping from line 263.
        .equ M3_HEAD_CYCLES, 76 + 72
frame_3:
        movem.l (a6)+,d0-d7             | 12+64: the first line's 1st slots
        movem.l d0-d7,(a0)              | 8+64: line 33 is not shown
        DELAY   TOP_60HZ_CYCLE - 4 - M3_HEAD_CYCLES
        move.w  a7,(a2)                 | 8: 60 Hz at 496
        move.w  a2,(a2)                 | 8: 50 Hz at 504
        move.w  a2,0xffff8260.w         | 12: $82, high resolution at 4 of line 34
        nop                             | line 34, cycle 12
        .rept M3_LINES
        M3_LINE
        .endr
idle_3:                                 | line 263, cycle 12
        move.w  a7,0xffff8260.w         | 12: low resolution again
        HOUSEKEEPING leave_3
        DELAY IDLE_3 - 12 - HOUSEKEEPING_CYCLES - BRA_CYCLES
        bra.w   frame_3
leave_3:                                | leave_on_key, out of a branch's reach
        move.l  usp,a5
        move.l  V_SP(a5),sp
        move.l  V_EXIT(a5),a0
        jmp     (a0)
        .if TOP_50HZ_CYCLE + 4 + 12 - 4 - LINE_CYCLES - LEFT_HIGH_CYCLE
        .error "mode 3: the first line's high-resolution write is off its cycle"
        .endif

| Display routine for STE hicolor pictures (68000, position independent).
|
| The picture's palette records are streamed into the 16 colour registers
| with movem.l while the beam draws each line: a movem.l of n longs to a
| register block writes one register every 4 cycles (4 low-resolution
| pixels) after 4 cycles of extension-word fetch, so consecutive registers
| change 4 columns apart, exactly as the screen-mode schedules say.
| Every frame is 313 lines of 512 cycles (160256 cycles, PAL 50 Hz); the
| routine locks to the beam once, on the first displayed line, by reading
| the video address counter, then runs code whose length is counted to the
| cycle, so it stays locked without interrupts.
|
| Cycle counts used (68000 with the ST's 4-cycle bus slots):
|   movem.l regs,(An)      8 + 8n     movem.l regs,d16(An)   12 + 8n
|   movem.l (An)+,regs    12 + 8n     nop                     4
|   dbra (taken)          12          dbra (expired)         16
|
| Entry: display_start with
|   a0 = picture file data (bitmap then palette records)
|   a1 = second bitmap or 0
|   a2 = work area, 256-byte aligned, WORK_SIZE bytes of ST RAM
|   a3 = address to jump to when a key is pressed (with the stack restored)
|   d1 = screen mode (0..3; 3 is overscan.S), d2 = lines per palette block (1..6),
|   d3 = palette sets (1 or 2), d4.b = 0x10 to leave on a key press, else 0,
|   d5 = column shift of the schedule (shiftpixels - 5; modes 1 and 2 only):
|        writes land on every 4th column, so mode 2 takes -4, 0 or 4 and
|        mode 1 -2 or 2 (its unshifted columns lie between two slots)
| The routine never returns otherwise.

        .include "schedule.inc"
        .include "line_code.inc"

| Work area layout.
        .equ V_PAL0, 0          | palette records of the next frame
        .equ V_PAL1, 4          | palette records of the frame after
        .equ V_SCR0, 8          | screen of the next frame (address >> 8)
        .equ V_SCR1, 12         | screen of the frame after (address >> 8)
        .equ V_SP, 16           | stack pointer at entry
        .equ V_EXIT, 20         | where to go on a key press
        .equ V_KEYMASK, 24      | GPIP bits that mean "leave"
        .equ V_SHIFT_COUNT, 26  | shift count that stretches the entry by the shift
        .equ SCREEN_A, 0x100
        .equ SCREEN_B, 0x7e00
        .equ PAL_A, 0x10000
        .equ PAL_B, 0x18000
        .equ WORK_SIZE, 0x20000

        .equ PALETTE, 0xffff8240
        .equ LINE_CYCLES, 512
        .equ FRAME_LINES, 313
        .equ FRAME_CYCLES, LINE_CYCLES * FRAME_LINES
        .equ LINES, 200

| Locks to the beam on the first displayed line of the next frame: waits
| until the video counter is back at the screen base (vertical blank or top
| border), then until it moves (the first line's fetch has begun), and
| stretches a shift by the low byte read so that the code after it always
| starts on the same cycle of that line. Uses d5-d7, a4.
        .macro BEAM_LOCK
        move.w  V_SCR0+2(a5),d5
        lsl.w   #8,d5
        lea     0xffff8207.w,a4
1:      movep.w 0(a4),d6
        cmp.w   d5,d6
        bne.s   1b
2:      move.b  2(a4),d6
        beq.s   2b
        moveq   #16,d7
        sub.b   d6,d7
        lsl.w   d7,d6
        .endm

| Per-frame housekeeping at the end of the picture: swaps the palette and
| screen of the next two frames, points the video base at the next frame's
| screen, loads a6 with its palette records and leaves on a key press when
| asked. V_SCR0/V_SCR1 hold the screen address shifted right by 8 (the
| bytes of 0xffff8201 and 0xffff8203). The key press is read from the MFP's
| GPIP bit 4 (the keyboard ACIA's interrupt line, low while a byte waits):
| the ACIA itself is synchronised to the 6800 E clock, which would make the
| frame's length vary. Uses d0-d3, a4, a5.
        .equ HOUSEKEEPING_CYCLES, 4+44+12+16+16+16+4+8+16+MFP_READ_CYCLES+4+12+12
        .macro HOUSEKEEPING leave
        move.l  usp,a5                  | 4
        movem.l (a5),d0-d3              | 12+8*4: d0/d1 palettes, d2/d3 screens
        move.l  d1,(a5)                 | 12
        move.l  d0,V_PAL1(a5)           | 16
        move.l  d3,V_SCR0(a5)           | 16
        move.l  d2,V_SCR1(a5)           | 16
        move.l  d1,a6                   | 4
        lea     0xffff8201.w,a4         | 8
        movep.w d3,0(a4)                | 16
        move.b  0xfffffa01.w,d0         | MFP_READ_CYCLES
        not.b   d0                      | 4
        and.b   V_KEYMASK(a5),d0        | 12
        bne.w   \leave                  | 12 when not taken
        .endm

| ---------------------------------------------------------------------------
| Mode 0: 54 colours. Registers 2..15 are loaded before the line (14 words),
| reloaded from column 30, from 154, and registers 2..13 from 218. a7 points
| at register 2; d0-d7/a0-a5 hold 14 longs, a6 walks the records (one record
| of 54 words per line).
        .equ M0_HEAD_CYCLES, 64+60+64+56
        .macro M0_HEAD
        movem.l d0-d6,(a7)              | 8+56: registers 2..15, 2nd slots
        movem.l (a6)+,d0-d5             | 12+48: 4th slots
        movem.l d7/a0-a5,(a7)           | 8+56: registers 2..15, 3rd slots
        movem.l d0-d5,(a7)              | 8+48: registers 2..13, 4th slots
        .endm
        .equ M0_TAIL_CYCLES, 68+64+124
        .macro M0_TAIL
        movem.l (a6)+,d0-d6             | 12+56: next line's 1st slots
        movem.l d0-d6,(a7)              | 8+56: written in the border
        movem.l (a6)+,d0-d7/a0-a5       | 12+112: next line's 2nd and 3rd slots
        .endm
        .equ M0_FILL, LINE_CYCLES - M0_HEAD_CYCLES - M0_TAIL_CYCLES
| Where the first write of each reload lands, from the line's first movem.l.
        .equ M0_FIRST_WRITE_2, 4
        .equ M0_FIRST_WRITE_3, 64+60+4
        .equ M0_FIRST_WRITE_4, 64+60+64+4
        .equ M0_FIRST_WRITE_1, M0_HEAD_CYCLES+68+4-LINE_CYCLES

| ---------------------------------------------------------------------------
| Mode 1: 80 colours, five slots per register; only the first two are shown.
| The schedule reloads all 16 registers four times within the line, back to
| back (72 cycles apart): 64 palette words in 288 cycles, all of them from
| registers, while the 68000 holds 32 words at most. Over a whole line the
| 80 words need 80 reads and 80 writes, more than the 128 bus slots a line
| has, so no routine can follow it. This one loads the first slots before
| the line and the second slots from column 32, exactly as scheduled; from
| the third slots on (column 104 + 4r for register r) each register keeps
| its second slot's colour to the end of the line.
        .equ M1_HEAD_CYCLES, 72
        .macro M1_HEAD
        movem.l d0-d7,(a0)              | 8+64: registers 0..15, 2nd slots
        .endm
        .equ M1_BORDER_WAIT, 160
        .equ M1_TAIL_CYCLES, M1_BORDER_WAIT+76+72+76+8
        .macro M1_TAIL
        DELAY   M1_BORDER_WAIT          | d7 is free once the 2nd slots are out
        movem.l (a6)+,d0-d7             | 12+64: next line's 1st slots
        movem.l d0-d7,(a0)              | 8+64: written in the border
        movem.l (a6)+,d0-d7             | 12+64: next line's 2nd slots
        lea     (S1_WORDS-32)*2(a6),a6  | 8: slots 3..5 are not shown
        .endm
        .equ M1_FILL, LINE_CYCLES - M1_HEAD_CYCLES - M1_TAIL_CYCLES
        .equ M1_FIRST_WRITE_2, 4
        .equ M1_FIRST_WRITE_1, M1_HEAD_CYCLES+M1_BORDER_WAIT+76+4-LINE_CYCLES
        .irp r, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15
        EXPECT_COLUMN S1_R\r\()_2, S1_R0_2 + 4 * \r
        .endr
        .if S1_R0_2 + M1_FIRST_WRITE_1 + LINE_CYCLES - M1_FIRST_WRITE_2 <= 320
        .error "mode 1: first slots written while the line is shown"
        .endif

| The schedule columns must be the ones these instruction sequences give.
        .irp r, 2,3,4,5,6,7,8,9,10,11,12,13,14,15
        EXPECT_COLUMN S0_R\r\()_2, S0_R2_2 + 4 * (\r - 2)
        EXPECT_COLUMN S0_R\r\()_3, S0_R2_2 + M0_FIRST_WRITE_3 - M0_FIRST_WRITE_2 + 4 * (\r - 2)
        .endr
        .irp r, 2,3,4,5,6,7,8,9,10,11,12,13
        EXPECT_COLUMN S0_R\r\()_4, S0_R2_2 + M0_FIRST_WRITE_4 - M0_FIRST_WRITE_2 + 4 * (\r - 2)
        .endr
        .irp r, 0,1,2,3,4,5,6,7
        EXPECT_COLUMN S2_R\r\()_2, S2_R0_2 + 4 * \r
        EXPECT_COLUMN S2_R\r\()_3, S2_R0_2 + M2_FIRST_WRITE_3 - M2_FIRST_WRITE_2 + 4 * \r
        .endr
        .irp r, 8,9,10,11,12,13,14,15
        EXPECT_COLUMN S2_R\r\()_2, S2_R0_2 + M2_FIRST_WRITE_2B - M2_FIRST_WRITE_2 + 4 * (\r - 8)
        EXPECT_COLUMN S2_R\r\()_3, S2_R0_2 + M2_FIRST_WRITE_3B - M2_FIRST_WRITE_2 + 4 * (\r - 8)
        .endr

| Line cycle at which each mode's first movem.l starts (COLUMN_CYCLE: the
| line cycle at which a write must start to show from column 1, the
| picture's first pixel).
        .equ M0_START, COLUMN_CYCLE + S0_R2_2 - 1 - M0_FIRST_WRITE_2
| Modes 1 and 2 start at their smallest shift; the entry stretches by the
| file's shift beyond it.
        .equ M2_START, COLUMN_CYCLE + S2_R0_2 - 1 - M2_FIRST_WRITE_2 + M2_SHIFT_BASE
        .equ M1_START, COLUMN_CYCLE + S1_R0_2 - 1 - M1_FIRST_WRITE_2 + M1_SHIFT_BASE
        .equ M0_SHIFT_BASE, 0
        .equ M1_SHIFT_BASE, -2
        .equ M2_SHIFT_BASE, -4

| One frame: 200 lines, then the housekeeping and the wait through the
| borders, ending with the first line's loads so that the frame loop is
| entered again on the same cycle of the first line.
        .macro FRAME mode
frame_\mode:
        .rept LINES - 1
        M\mode\()_HEAD
        M\mode\()_TAIL
        NOPS M\mode\()_FILL
        .endr
        M\mode\()_HEAD
idle_\mode:
        HOUSEKEEPING leave_\mode
        DELAY IDLE_\mode - HOUSEKEEPING_CYCLES - M\mode\()_TAIL_CYCLES - BRA_CYCLES
        M\mode\()_TAIL
        bra.w   frame_\mode
leave_\mode:
        bra.w   leave_on_key
        .endm
        .equ BRA_CYCLES, 12
        .ifndef MFP_READ_CYCLES
        .equ MFP_READ_CYCLES, 16          | the MFP adds 4 wait cycles
        .endif
        .equ IDLE_0, (FRAME_LINES - LINES + 1) * LINE_CYCLES - M0_HEAD_CYCLES
        .equ IDLE_2, (FRAME_LINES - LINES + 1) * LINE_CYCLES - M2_HEAD_CYCLES
        .equ IDLE_1, (FRAME_LINES - LINES + 1) * LINE_CYCLES - M1_HEAD_CYCLES

| ---------------------------------------------------------------------------
| Set-up: copies the bitmap(s) into the screen(s), expands the palette
| records to one per line, sets the video registers, locks to the beam and
| enters the mode's frame loop.
        .globl display_start
display_start:
        move.w  #0x2700,sr
        move.l  a2,usp
        move.l  a2,a5
        move.l  sp,V_SP(a5)
        move.l  a3,V_EXIT(a5)
        move.b  d4,V_KEYMASK(a5)
        cmp.w   #3,d1                   | overscan: its own set-up
        beq     setup_3
        lea     words_per_record(pc),a4
        move.w  d1,d0
        add.w   d0,d0
        lea     shift_base(pc),a3       | shift count: (shift - base) / 2,
        sub.w   0(a3,d0.w),d5           | 0 in mode 0
        asr.w   #1,d5
        tst.w   d1
        bne.s   1f
        moveq   #0,d5
1:      move.w  d5,V_SHIFT_COUNT(a5)
        move.w  0(a4,d0.w),d5           | d5 = words per record

        lea     SCREEN_A(a5),a4         | bitmap -> screen A
        move.w  #32000/4-1,d0
1:      move.l  (a0)+,(a4)+
        dbra    d0,1b
        lea     SCREEN_A(a5),a4
        move.l  a4,d0
        lsr.l   #8,d0
        move.l  d0,V_SCR0(a5)
        move.l  d0,V_SCR1(a5)
        cmp.w   #0,a1
        beq.s   2f
        lea     SCREEN_B(a5),a4         | second bitmap -> screen B (a5-relative)
        move.w  #32000/4-1,d0
1:      move.l  (a1)+,(a4)+
        dbra    d0,1b
        lea     SCREEN_B(a5),a4
        move.l  a4,d0
        lsr.l   #8,d0
        move.l  d0,V_SCR1(a5)
2:
        move.l  a5,a4                   | one record per block -> one per line
        add.l   #PAL_A,a4
        move.l  a4,V_PAL0(a5)
        move.l  a4,V_PAL1(a5)
        moveq   #0,d6                   | line
3:      move.l  d6,d0
        divu    d2,d0                   | block of the line
        mulu    d5,d0
        add.l   d0,d0
        lea     0(a0,d0.l),a3
        move.w  d5,d0
        subq.w  #1,d0
1:      move.w  (a3)+,(a4)+
        dbra    d0,1b
        addq.w  #1,d6
        cmp.w   #LINES,d6
        blt.s   3b
        cmp.w   #2,d3
        bne.s   4f
        move.w  d2,d0                   | the second set follows the blocks:
        addq.w  #1,d0                   | (LINES - 1 + N - (N + 1) / 2) / N + 1
        lsr.w   #1,d0                   | records, as many as the encoder's
        neg.w   d0                      | block centre lines (from (N + 1) / 2,
        add.w   #LINES-1,d0             | every N lines, below LINES + N)
        add.w   d2,d0
        ext.l   d0
        divu    d2,d0
        addq.w  #1,d0
        mulu    d5,d0
        add.l   d0,d0
        lea     0(a0,d0.l),a3
        move.l  a5,a4
        add.l   #PAL_B,a4
        move.l  a4,V_PAL1(a5)
        move.w  d5,d0
        mulu    #LINES,d0
        subq.w  #1,d0
1:      move.w  (a3)+,(a4)+
        dbra    d0,1b
4:
video_setup:
        move.b  #0,0xffff8260.w         | low resolution
        move.b  #2,0xffff820a.w         | 50 Hz
        move.b  #0,0xffff820f.w         | no line offset
        move.b  #0,0xffff8265.w         | no fine scroll
        move.l  V_SCR0(a5),d0
        lea     0xffff8201.w,a4
        movep.w d0,0(a4)
        lea     PALETTE.w,a4
        moveq   #15,d0
1:      clr.w   (a4)+
        dbra    d0,1b
        cmp.w   #3,d1
        beq     enter_3
        cmp.w   #2,d1
        beq     enter_2
        cmp.w   #1,d1
        beq     enter_1
        bra     enter_0

words_per_record:
        .word   S0_WORDS, S1_WORDS, S2_WORDS
shift_base:
        .word   M0_SHIFT_BASE, M1_SHIFT_BASE, M2_SHIFT_BASE

leave_on_key:
        move.l  usp,a5
        move.l  V_SP(a5),sp
        move.l  V_EXIT(a5),a0
        jmp     (a0)

| The first frame after the lock: wait out the rest of it so that the frame
| loop starts on its first line's cycle in the next frame. The first lock
| only waits for a frame's display: the frame in which the set-up switched
| to 50 Hz may have begun at 60 Hz and be 263 lines long, so the lock that
| counts is the one in the frame after it.
        .macro ENTER mode
enter_\mode:
        M\mode\()_POINTERS
        BEAM_LOCK
        BEAM_LOCK
        move.w  V_SHIFT_COUNT(a5),d0    | 12
        lsl.l   d0,d1                   | 8 + 2 * count: the shift
        DELAY FRAME_CYCLES + M\mode\()_START - LOCK_EXIT - 20 - BRA_CYCLES - IDLE_\mode
        bra.w   idle_\mode
        .endm

        .macro M0_POINTERS
        lea     PALETTE+4.w,a7          | register 2; no stack from here on
        .endm
        .macro M2_POINTERS
        lea     PALETTE.w,a0
        lea     PALETTE+16.w,a1
        .endm

        ENTER 0
        FRAME 0
        ENTER 2
        FRAME 2
        .macro M1_POINTERS
        lea     PALETTE.w,a0
        .endm
        ENTER 1
        FRAME 1

        .include "overscan.S"

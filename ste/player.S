| Container player for the STE (68000, position independent): streams a
| Zorpa container from disk and shows its frames with the mode-2 register
| schedule, each for two 50 Hz frames, while the DMA sound plays the
| container's sound at 50066 Hz, mono, 8 bits.
|
| Every 50 Hz frame runs the same way: a beam lock on the first displayed
| line (the picture's rows 0..20 stay black), 158 lines of cycle-counted
| palette code for rows 21..178, black registers from the border after row
| 178 on, and then the free part of the frame (rows 179..199, the lower
| border, the vertical blank and the upper border, about 134 lines or 68600
| cycles) for everything else: the disk reads, the sound ring, the key.
| Since the beam is locked afresh every frame, the free part need not be
| counted; it only has to end before the next frame's first line.
|
| A frame record (42496 bytes, 83 sectors) is read into one of two buffers
| while the picture of the other buffer is shown: its first 42 sectors in
| the free part of the picture's first frame, the other 41 in that of the
| second. The disk transfers therefore never overlap a palette write: on a
| real STE the DMA chip stalls the 68000 while it moves data, which would
| shift the writes off their columns.
|
| The record's bitmap (bitmap rows 21..178) is shown where it was read: the
| video base points 21 lines above it, and all 16 registers are black on
| the lines outside the window, so the bytes around the bitmap show nothing.
|
| Sound: the DMA sound loops over a 32 KB ring. The ring first receives the
| stream from the first played picture's sample on (the pre-roll, then the
| chunks of the records before it), then every record's chunk as it is read,
| without the 1134 bytes that the container repeats every 25 frames, so the
| ring holds the writer's input stream; chunks of generated silence (all
| bytes 80) become true silence (zeros). The sound starts on the first
| displayed line of the first picture. Once a picture, at the same place of
| the frame, the player compares the samples played with the pictures shown
| (50066 / 25 samples per picture) and, should the two clocks drift apart,
| drops or repeats two samples where the ring is written.
|
| Entry: player_start with
|   a2 = work area, 256-byte aligned, PLAYER_WORK_SIZE bytes of ST RAM
|   a3 = where to go at the end (stack restored, d0 = PLAYER_* reason)
|   a4 = read routine: reads d1.w sectors (1..255) from sector d0.l of the
|        container into a0 and returns d0.l = 0 when all were read; it may
|        change d0-d2 and a0-a2
|   d0.l = first frame to show, d1.l = last frame (past the end: the last)
|   d4.b = non-zero to stop on a key press

        .include "schedule.inc"
        .include "line_code.inc"

| Reasons given to the exit address in d0.
        .equ PLAYER_END, 0              | every frame shown
        .equ PLAYER_KEY, 1              | stopped by a key
        .equ PLAYER_READ_ERROR, 2       | the read routine failed
        .equ PLAYER_NOT_CONTAINER, 3    | no "STEAV3" header, or no frame to show

| Container layout (generated from format/container.h): PREROLL,
| PREROLL_SOUND, RECORD_BYTES, PALETTES (the palette records in a record),
| CHUNK (the sound chunk in a record), CHUNK_BYTES, MOVE_BACK (repeated bytes
| at a move back), FIRST_MOVE_BACK, MOVE_BACK_PERIOD, WINDOW_TOP (first
| bitmap row a record carries), WINDOW_LINES, ROW_BYTES, MAGIC_LONG.
        .include "container.inc"
        .equ SECTOR, 512
        .equ HEADER_SECTORS, FIRST_RECORD / SECTOR | header and pre-roll
        .equ RECORD_SECTORS, RECORD_BYTES / SECTOR
        .equ FIRST_PART_SECTORS, 42
        .if FIRST_RECORD % SECTOR + RECORD_BYTES % SECTOR
        .error "container records do not start on sectors"
        .endif

| Work area layout.
        .equ V_SP, 0                    | stack pointer at entry
        .equ V_EXIT, 4
        .equ V_READ, 8
        .equ V_FIRST, 12                | first and last frame shown
        .equ V_LAST, 16
        .equ V_FRAME, 20                | frame of the picture shown
        .equ V_CUR, 24                  | its buffer
        .equ V_NEXT, 28                 | the buffer being read
        .equ V_SCREEN, 32               | video base of the picture (address >> 8)
        .equ V_WRITE, 36                | ring offset written next
        .equ V_PLAYED, 40               | samples played (counted from the DMA)
        .equ V_POSITION, 44             | ring offset of the DMA at the last look
        .equ V_SHOWN, 48                | pictures since the first
        .equ V_DRIFT, 52                | samples played ahead of the pictures
        .equ V_CORRECTION, 56           | samples repeated minus samples dropped
        .equ V_DRIFT0, 60               | the drift of the first picture
        .equ V_KEYMASK, 64              | byte
        .equ V_STARTED, 65              | byte: the sound is playing
        .equ V_PENDING, 66              | word: correction for the next chunk
        .equ V_SKIP, 68                 | byte: keyboard packet bytes to skip
        .equ SCREEN0, 0x100             | video base of buffer 0
        .equ BUFFER0, SCREEN0 + WINDOW_TOP * ROW_BYTES
        .equ BUFFER1, BUFFER0 + RECORD_BYTES   | its video base is 256-aligned too
        .equ RING, BUFFER1 + RECORD_BYTES
        .equ RING_BYTES, 32768
        .equ PLAYER_WORK_SIZE, RING + RING_BYTES

        .equ PALETTE, 0xffff8240
        .equ SOUND_CONTROL, 0xffff8901
        .equ MFP_GPIP, 0xfffffa01
        .equ LINE_CYCLES, 512

| An address in the work area past the reach of a 16-bit displacement.
        .macro WORK_ADDRESS offset, reg
        move.l  a5,\reg
        add.l   #\offset,\reg
        .endm

| Stops the assembly when the record does not tile the 256-byte grid the
| video base needs.
        .if (RECORD_BYTES % 256) | (SCREEN0 % 256)
        .error "video bases not on 256-byte boundaries"
        .endif

| ---------------------------------------------------------------------------
| Set-up: header, the sound before the first picture, the first record.
        .globl player_start
player_start:
        move.w  #0x2700,sr
        move.l  a2,a5
        move.l  sp,V_SP(a5)
        move.l  a3,V_EXIT(a5)
        move.l  a4,V_READ(a5)
        move.b  d4,V_KEYMASK(a5)
        move.l  d0,V_FIRST(a5)
        move.l  d1,V_LAST(a5)
        clr.b   V_STARTED(a5)
        clr.b   V_SKIP(a5)
        clr.l   V_WRITE(a5)
        clr.l   V_CORRECTION(a5)
        clr.w   V_PENDING(a5)
        clr.b   SOUND_CONTROL.w
        bsr     black_palette

        WORK_ADDRESS BUFFER1, a0          | header and pre-roll
        moveq   #0,d0
        move.w  #HEADER_SECTORS,d1
        bsr     read_sectors
        WORK_ADDRESS BUFFER1, a0
        cmp.l   #MAGIC_LONG,(a0)        | "STEA"
        bne     not_container
        cmp.w   #0x5633,4(a0)           | "V3"
        bne     not_container
        move.l  6(a0),d0                | frame count
        beq     not_container
        subq.l  #1,d0
        cmp.l   V_LAST(a5),d0
        bhs.s   1f
        move.l  d0,V_LAST(a5)
1:      move.l  V_FIRST(a5),d0
        cmp.l   V_LAST(a5),d0
        bhi     not_container

| Stream sample of the first picture: 50066 / 25 = 2002 + 16 / 25 per
| picture, rounded down to an even sample (the ring is written in words).
        move.l  V_FIRST(a5),d0
        bsr     picture_sample
        move.l  d0,d3                   | d3 = first sample to play
        cmp.l   #PREROLL_SOUND,d3
        bhs.s   2f
        WORK_ADDRESS BUFFER1+PREROLL, a0  | from the pre-roll
        add.l   d3,a0
        move.l  #PREROLL_SOUND,d0
        sub.l   d3,d0
        bsr     ring_write
        moveq   #0,d4                   | first record whose chunk follows
        moveq   #0,d3                   | from its first new byte
        bra.s   4f
2:      move.l  #PREROLL_SOUND,d2       | stream sample at the start of chunk d4
        moveq   #0,d4
3:      move.l  d4,d0
        bsr     chunk_skip
        move.l  #CHUNK_BYTES,d1
        sub.l   d0,d1                   | new bytes of chunk d4
        add.l   d2,d1
        cmp.l   d3,d1
        bhi.s   5f
        move.l  d1,d2
        addq.l  #1,d4
        bra.s   3b
5:      sub.l   d2,d3                   | offset in chunk d4's new bytes
4:      cmp.l   V_FIRST(a5),d4          | records before the first picture:
        bhs.s   6f                      | their sound only
        WORK_ADDRESS BUFFER1, a0
        move.l  d4,d0
        bsr     read_record
        WORK_ADDRESS BUFFER1, a0
        move.l  d4,d0
        move.l  d3,d1
        bsr     append_chunk
        moveq   #0,d3
        addq.l  #1,d4
        bra.s   4b
6:      lea     BUFFER0(a5),a0          | the first picture's record
        move.l  d4,d0
        bsr     read_record
        lea     BUFFER0(a5),a0
        move.l  d4,d0
        move.l  d3,d1
        bsr     append_chunk

        lea     BUFFER0(a5),a0
        move.l  a0,V_CUR(a5)
        WORK_ADDRESS BUFFER1, a0
        move.l  a0,V_NEXT(a5)
        move.l  V_FIRST(a5),V_FRAME(a5)
        clr.l   V_SHOWN(a5)
        clr.l   V_PLAYED(a5)
        clr.l   V_POSITION(a5)

        move.b  #0,0xffff8260.w         | low resolution
        move.b  #2,0xffff820a.w         | 50 Hz
        move.b  #0,0xffff820f.w         | no line offset
        move.b  #0,0xffff8265.w         | no fine scroll
        move.b  #0,0xffff820d.w         | low byte of the base (STE)
        bsr     set_screen
        WORK_ADDRESS RING, a0             | DMA sound: the ring, looping
        move.l  a0,d0
        lea     0xffff8903.w,a1
        bsr     sound_address
        add.l   #RING_BYTES,d0
        lea     0xffff890f.w,a1
        bsr     sound_address
        move.b  #0x83,0xffff8921.w      | mono, 50066 Hz
        bsr     wait_new_base

| ---------------------------------------------------------------------------
| One picture: two frames.
frame_loop:
        bsr     picture_pointers
        tst.b   V_STARTED(a5)
        bne.s   1f
        bsr     show_first
        st      V_STARTED(a5)
        bra.s   2f
1:      bsr     show
2:      bsr     sound_drift             | same place of every picture's frame
        move.l  V_FRAME(a5),d0
        cmp.l   V_LAST(a5),d0
        bhs.s   3f
        bsr     next_record_sector      | first part of the next record
        move.l  V_NEXT(a5),a0
        move.w  #FIRST_PART_SECTORS,d1
        bsr     read_sectors
3:      bsr     key_check

        bsr     picture_pointers
        bsr     show
        move.l  V_FRAME(a5),d0
        cmp.l   V_LAST(a5),d0
        bhs     finished
        move.l  V_NEXT(a5),d0           | the next picture's base, before the
        move.l  V_CUR(a5),V_NEXT(a5)    | vertical blank takes it up
        move.l  d0,V_CUR(a5)
        bsr     set_screen
        bsr     next_record_sector
        add.l   #FIRST_PART_SECTORS,d0
        move.l  V_CUR(a5),a0
        add.l   #FIRST_PART_SECTORS*SECTOR,a0
        move.w  #RECORD_SECTORS-FIRST_PART_SECTORS,d1
        bsr     read_sectors
        addq.l  #1,V_FRAME(a5)
        addq.l  #1,V_SHOWN(a5)
        move.l  V_CUR(a5),a0
        move.l  V_FRAME(a5),d0
        moveq   #0,d1
        bsr     append_chunk
        bsr     key_check
        bra     frame_loop

| First sector of the record after the one shown, in d0.
next_record_sector:
        move.l  V_FRAME(a5),d0
        addq.l  #1,d0
| First sector of record d0.l, in d0.
record_sector:
        move.l  d0,d1
        swap    d1
        mulu    #RECORD_SECTORS,d1
        swap    d1
        clr.w   d1
        mulu    #RECORD_SECTORS,d0
        add.l   d1,d0
        add.l   #HEADER_SECTORS,d0
        rts

picture_pointers:
        move.l  V_CUR(a5),a6
        lea     PALETTES(a6),a6
        lea     PALETTE.w,a0
        lea     PALETTE+16.w,a1
        rts

| ---------------------------------------------------------------------------
| The shown part of a frame. Rows 0..20 are black; the first slots of row
| 21 are written in the border before it, as in the display routine.

| Line cycle at which a line's first movem.l starts (column shift 0).
        .equ P_START, COLUMN_CYCLE + S2_R0_2 - 1 - M2_FIRST_WRITE_2
| Cycles from the end of the lock to row 20's tail, which loads row 21's
| first and second slots.
        .equ P_TO_TAIL, WINDOW_TOP * LINE_CYCLES + P_START - M2_TAIL_CYCLES - M2_FILL - LOCK_EXIT
        .equ BRA_CYCLES, 12

| Locks to the beam on the first displayed line of the next frame (see
| BEAM_LOCK in the display routine: same instructions from the second
| loop on, so the same LOCK_EXIT). Uses d5-d7, a4.
        .macro PLAYER_LOCK
        move.w  V_SCREEN+2(a5),d5
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

| The first frame of the first picture: the sound starts with it.
show_first:
        PLAYER_LOCK
        move.b  #3,SOUND_CONTROL.w      | 16: play, looping over the ring
        DELAY   P_TO_TAIL - 16 - BRA_CYCLES
        bra.w   show_lines
show:
        PLAYER_LOCK
        DELAY   P_TO_TAIL - BRA_CYCLES
        bra.w   show_lines
show_lines:
        M2_TAIL
        NOPS    M2_FILL
        .rept   WINDOW_LINES - 1
        M2_HEAD
        M2_TAIL
        NOPS    M2_FILL
        .endr
        M2_HEAD
| Where the tail would load the next line's first slots, all registers go
| black, written at the same cycles (in the border after row 178).
        moveq   #0,d0                   | 8 x 4
        moveq   #0,d1
        moveq   #0,d2
        moveq   #0,d3
        moveq   #0,d4
        moveq   #0,d5
        moveq   #0,d6
        moveq   #0,d7
        NOPS    76 - 32                 | the tail's first movem.l
        movem.l d0-d7,(a0)              | 8+64
        rts

| ---------------------------------------------------------------------------
| Free part of the frame.

| d0.l = stream sample of picture d0.l (from 0), rounded down to even:
| 2002 n + 16 n / 25.
picture_sample:
        move.l  d0,d1
        lsl.l   #4,d1
        divu    #25,d1                  | n < 100000: 16 n / 25 < 65536
        and.l   #0xffff,d1
        move.l  d0,d2
        swap    d2
        mulu    #2002,d2
        swap    d2
        clr.w   d2
        mulu    #2002,d0
        add.l   d2,d0
        add.l   d1,d0
        and.b   #0xfe,d0
        rts

| d0.l = bytes of chunk d0.l that repeat the previous chunk's end.
chunk_skip:
        sub.l   #FIRST_MOVE_BACK,d0
        bmi.s   1f
        divu    #MOVE_BACK_PERIOD,d0
        swap    d0
        tst.w   d0
        bne.s   1f
        move.l  #MOVE_BACK,d0
        rts
1:      moveq   #0,d0
        rts

| Reads record d0.l into a0.
read_record:
        bsr     record_sector
        movem.l d0/a0,-(sp)
        move.w  #FIRST_PART_SECTORS,d1
        bsr     read_sectors
        movem.l (sp)+,d0/a0
        add.l   #FIRST_PART_SECTORS,d0
        lea     FIRST_PART_SECTORS*SECTOR(a0),a0
        move.w  #RECORD_SECTORS-FIRST_PART_SECTORS,d1
        bra     read_sectors

| Calls the read routine; leaves on a failure.
read_sectors:
        movem.l d3-d7/a3-a6,-(sp)
        move.l  V_READ(a5),a2
        jsr     (a2)
        movem.l (sp)+,d3-d7/a3-a6
        tst.l   d0
        bne     read_error
        rts

| Appends the sound of record d0.l (in a0) to the ring, from byte d1.l of
| its new bytes on (even); with the pending drift correction.
append_chunk:
        movem.l d2-d4/a2,-(sp)
        move.l  d1,d4
        move.l  a0,a2
        add.l   #CHUNK,a2
        move.l  a2,a0                   | generated silence? (a chunk of sound
        move.w  #CHUNK_BYTES/4-1,d2     | rarely starts with four bytes 80)
1:      cmp.l   #0x80808080,(a0)+
        dbne    d2,1b
        sne     d3                      | d3 = 0 for silence
        bsr     chunk_skip
        add.l   d0,d4                   | first byte to write
        add.l   d4,a2
        move.l  #CHUNK_BYTES,d0
        sub.l   d4,d0                   | bytes to write
        move.w  V_PENDING(a5),d1        | +2: repeat two samples, -2: drop two
        clr.w   V_PENDING(a5)
        tst.w   d1
        beq.s   3f
        bmi.s   2f
        move.l  a2,a0                   | repeat the chunk's first two samples
        tst.b   d3
        bne.s   4f
        sub.l   a0,a0
4:      move.l  d0,-(sp)
        moveq   #2,d0
        bsr     ring_write
        move.l  (sp)+,d0
        bra.s   3f
2:      addq.l  #2,a2                   | drop two
        subq.l  #2,d0
3:      move.l  a2,a0
        tst.b   d3
        bne.s   5f
        sub.l   a0,a0                   | silence: zeros
5:      bsr     ring_write
        movem.l (sp)+,d2-d4/a2
        rts

| Writes d0.l bytes (even) from a0 (or zeros when a0 = 0) at the ring's
| write offset, wrapping at its end.
ring_write:
        movem.l d1-d7/a1-a4,-(sp)
        move.l  V_WRITE(a5),d1
1:      tst.l   d0
        beq.s   9f
        move.l  #RING_BYTES,d2          | room before the end
        sub.l   d1,d2
        cmp.l   d0,d2
        bls.s   2f
        move.l  d0,d2
2:      sub.l   d2,d0
        WORK_ADDRESS RING, a1
        add.l   d1,a1
        add.l   d2,d1
        and.l   #RING_BYTES-1,d1
        cmp.w   #0,a0
        beq.s   6f
3:      cmp.l   #32,d2                  | 32 bytes at a time, then words
        blo.s   4f
        movem.l (a0)+,d3-d7/a2-a4
        movem.l d3-d7/a2-a4,(a1)
        lea     32(a1),a1
        sub.l   #32,d2
        bra.s   3b
4:      lsr.w   #1,d2
        bra.s   5f
7:      move.w  (a0)+,(a1)+
5:      dbra    d2,7b
        bra.s   1b
6:      lsr.w   #1,d2
        bra.s   10f
8:      clr.w   (a1)+
10:     dbra    d2,8b
        bra.s   1b
9:      move.l  d1,V_WRITE(a5)
        movem.l (sp)+,d1-d7/a1-a4
        rts

| Compares the samples played with the pictures shown and queues a
| correction of two samples when they are DRIFT_LIMIT or more apart (the
| DMA fetches ahead in small bursts, so its counter is a few samples off
| from one look to the next).
        .equ DRIFT_LIMIT, 16
sound_drift:
        lea     0xffff8907.w,a0         | DMA counter: 8909 high, 890b mid, 890d low
1:      movep.l 0(a0),d0
        movep.l 0(a0),d1
        cmp.l   d0,d1
        bne.s   1b
        and.l   #0xffffff,d0
        WORK_ADDRESS RING, a0
        sub.l   a0,d0                   | ring offset played to
        move.l  d0,d1
        sub.l   V_POSITION(a5),d1
        and.l   #RING_BYTES-1,d1
        move.l  d0,V_POSITION(a5)
        add.l   d1,V_PLAYED(a5)
        move.l  V_SHOWN(a5),d0
        bsr     picture_sample          | samples of the pictures so far
        move.l  V_PLAYED(a5),d1
        sub.l   V_CORRECTION(a5),d1     | stream samples played
        sub.l   d0,d1
        tst.l   V_SHOWN(a5)
        bne.s   2f
        move.l  d1,V_DRIFT0(a5)         | the first picture sets the reference
2:      sub.l   V_DRIFT0(a5),d1
        move.l  d1,V_DRIFT(a5)
        cmp.l   #DRIFT_LIMIT,d1
        blt.s   3f
        move.w  #2,V_PENDING(a5)        | sound ahead: repeat two samples
        addq.l  #2,V_CORRECTION(a5)
        rts
3:      cmp.l   #-DRIFT_LIMIT,d1
        bgt.s   4f
        move.w  #-2,V_PENDING(a5)       | sound behind: drop two
        subq.l  #2,V_CORRECTION(a5)
4:      rts

| Writes the DMA sound address d0.l to the registers at a1 (high, mid, low).
sound_address:
        move.l  d0,d1
        swap    d1
        move.b  d1,(a1)
        move.l  d0,d1
        lsr.w   #8,d1
        move.b  d1,2(a1)
        move.b  d0,4(a1)
        rts

| Points the video base at the current picture's screen (21 lines above its
| record), for the next vertical blank to take up.
set_screen:
        move.l  V_CUR(a5),d0
        sub.l   #WINDOW_TOP*ROW_BYTES,d0
        lsr.l   #8,d0
        move.l  d0,V_SCREEN(a5)
        lea     0xffff8201.w,a0
        movep.w d0,0(a0)
        rts

| Waits until the video counter has been reloaded from the new base (in the
| vertical blank), so that the first lock finds the new screen, not the
| last lines of the old one.
wait_new_base:
        move.l  V_SCREEN(a5),d1
        lsl.l   #8,d1
        lea     0xffff8203.w,a0         | 8205 high, 8207 mid, 8209 low
1:      movep.l 0(a0),d0
        and.l   #0xffffff,d0
        cmp.l   d1,d0
        bne.s   1b
        rts

black_palette:
        lea     PALETTE.w,a0
        moveq   #15,d0
1:      clr.w   (a0)+
        dbra    d0,1b
        rts

| Reads what the keyboard sent: a key pressed stops the player. Mouse,
| joystick, clock and status packets are skipped (their bytes can look like
| key codes), so are key releases and the keyboard's reset answer.
key_check:
        tst.b   V_KEYMASK(a5)
        beq.s   9f
1:      btst    #0,0xfffffc00.w         | keyboard ACIA: a byte waiting?
        beq.s   9f
        moveq   #0,d0
        move.b  0xfffffc02.w,d0
        tst.b   V_SKIP(a5)
        beq.s   2f
        subq.b  #1,V_SKIP(a5)           | inside a packet
        bra.s   1b
2:      cmp.b   #0xf6,d0
        blo.s   3f
        lea     packet_sizes-0xf6(pc),a0
        move.b  0(a0,d0.w),V_SKIP(a5)
        bra.s   1b
3:      cmp.b   #0x80,d0                | a release, or a reset answer (f0, f1)
        bhs.s   1b
        moveq   #PLAYER_KEY,d0
        bra.s   leave
9:      rts
| Bytes that follow a packet header f6..ff.
packet_sizes:
        .byte   7, 5, 2, 2, 2, 2, 6, 2, 1, 1
        .balign 2

finished:
        moveq   #PLAYER_END,d0
        bra.s   leave
read_error:
        moveq   #PLAYER_READ_ERROR,d0
        bra.s   leave
not_container:
        moveq   #PLAYER_NOT_CONTAINER,d0
leave:  clr.b   SOUND_CONTROL.w         | sound off
        move.l  d0,-(sp)
        bsr     black_palette
        move.l  (sp)+,d0
        move.l  V_SP(a5),sp
        move.l  V_EXIT(a5),a0
        jmp     (a0)

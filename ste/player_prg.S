| TOS program that plays a Zorpa container on an STE:
|   ZRPPLAY.PRG FILE.ZRP [FIRST [LAST]]
| FIRST and LAST are the first and the last frame to show (from 0; default
| the whole container). The file is read with GEMDOS (Fread, and Fseek when
| a read does not follow the previous one) in the free part of each 50 Hz
| frame, so it should be on a hard disk that reads 21 KB in well under 8 ms
| (see README.md). Any key ends it and restores the screen. The code is
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

| The bss: the player's work area (256-byte aligned), then this program's
| own variables.
        .equ OWN, PLAYER_WORK_SIZE
        .equ O_HANDLE, OWN + 0          | file handle
        .equ O_POSITION, OWN + 4        | file position
        .equ O_USP, OWN + 8
        .equ O_SSP, OWN + 12
        .equ O_BASE, OWN + 16           | video base high, mid, low
        .equ O_RES, OWN + 20
        .equ O_SYNC, OWN + 21
        .equ O_LINE_OFFSET, OWN + 22
        .equ O_SCROLL, OWN + 23
        .equ O_PALETTE, OWN + 24
        .equ OWN_SIZE, 24 + 32
        .equ BSS_SIZE, 256 + PLAYER_WORK_SIZE + OWN_SIZE

        .include "tos_command_tail.inc"

text_start:
        FIRST_ARGUMENT
        moveq   #0,d6                   | first frame
        moveq   #-1,d7                  | last frame: to the end
        bsr     next_number
        bmi.s   5f
        move.l  d0,d6
        bsr     next_number
        bmi.s   5f
        move.l  d0,d7
        cmp.l   d6,d7
        blo     usage
5:      tst.b   (a5)                    | nothing else may follow
        bne     usage

        move.l  0x18(a6),d0             | bss: the work area, 256-byte aligned
        add.l   #255,d0
        and.l   #0xffffff00,d0
        move.l  d0,a3
        move.w  #0,-(sp)                | Fopen(name, read)
        move.l  a4,-(sp)
        move.w  #0x3d,-(sp)
        trap    #1
        addq.l  #8,sp
        tst.l   d0
        bmi     cannot_open
        move.l  a3,a5
        add.l   #OWN,a5
        move.w  d0,O_HANDLE-OWN(a5)
        clr.l   O_POSITION-OWN(a5)

        clr.l   -(sp)                   | Super(0)
        move.w  #0x20,-(sp)
        trap    #1
        addq.l  #6,sp
        move.l  d0,O_SSP-OWN(a5)
        move.l  usp,a0
        move.l  a0,O_USP-OWN(a5)
        move.b  0xffff8201.w,O_BASE-OWN(a5)
        move.b  0xffff8203.w,O_BASE+1-OWN(a5)
        move.b  0xffff820d.w,O_BASE+2-OWN(a5)
        move.b  0xffff8260.w,O_RES-OWN(a5)
        move.b  0xffff820a.w,O_SYNC-OWN(a5)
        move.b  0xffff820f.w,O_LINE_OFFSET-OWN(a5)
        move.b  0xffff8265.w,O_SCROLL-OWN(a5)
        lea     0xffff8240.w,a0
        lea     O_PALETTE-OWN(a5),a1
        moveq   #15,d0
6:      move.w  (a0)+,(a1)+
        dbra    d0,6b
        bsr     flush_keyboard

        move.l  a3,a2                   | work area
        lea     program_end(pc),a3
        lea     gemdos_read(pc),a4
        move.l  d6,d0
        move.l  d7,d1
        moveq   #1,d4                   | a key stops it
        bra     player_start

| The player's end (d0 = reason; a5 = its work area).
program_end:
        move.l  d0,d7
        add.l   #OWN,a5
        move.l  O_USP-OWN(a5),a0
        move.l  a0,usp
        lea     0xffff8240.w,a0
        lea     O_PALETTE-OWN(a5),a1
        moveq   #15,d0
1:      move.w  (a1)+,(a0)+
        dbra    d0,1b
        move.b  O_RES-OWN(a5),0xffff8260.w
        move.b  O_SYNC-OWN(a5),0xffff820a.w
        move.b  O_LINE_OFFSET-OWN(a5),0xffff820f.w
        move.b  O_SCROLL-OWN(a5),0xffff8265.w
        move.b  O_BASE-OWN(a5),0xffff8201.w
        move.b  O_BASE+1-OWN(a5),0xffff8203.w
        move.b  O_BASE+2-OWN(a5),0xffff820d.w
        bsr     flush_keyboard
        move.w  #0x2300,sr
        move.l  O_SSP-OWN(a5),-(sp)     | back to user mode
        move.w  #0x20,-(sp)
        trap    #1
        addq.l  #6,sp
        move.w  O_HANDLE-OWN(a5),-(sp)  | Fclose
        move.w  #0x3e,-(sp)
        trap    #1
        addq.l  #4,sp
        cmp.l   #PLAYER_READ_ERROR,d7
        beq     cannot_read
        cmp.l   #PLAYER_NOT_CONTAINER,d7
        beq     no_container
        clr.w   -(sp)                   | Pterm0
        trap    #1

| The player's read routine: d1.w sectors from sector d0.l of the file
| into a0, through GEMDOS; d0.l = 0 when all were read. a5 is the player's
| work area.
gemdos_read:
        movem.l d3-d4/a3-a6,-(sp)
        move.l  a5,a6
        add.l   #OWN,a6
        move.l  a0,a3
        moveq   #0,d3
        move.w  d1,d3
        lsl.l   #8,d3                   | bytes
        add.l   d3,d3
        move.l  d0,d4
        lsl.l   #8,d4                   | file position
        add.l   d4,d4
        cmp.l   O_POSITION-OWN(a6),d4
        beq.s   1f
        move.w  #0,-(sp)                | Fseek(position, handle, from the start)
        move.w  O_HANDLE-OWN(a6),-(sp)
        move.l  d4,-(sp)
        move.w  #0x42,-(sp)
        trap    #1
        lea     10(sp),sp
        cmp.l   d4,d0
        bne.s   2f
1:      move.l  a3,-(sp)                | Fread(handle, bytes, buffer)
        move.l  d3,-(sp)
        move.w  O_HANDLE-OWN(a6),-(sp)
        move.w  #0x3f,-(sp)
        trap    #1
        lea     12(sp),sp
        cmp.l   d3,d0
        bne.s   2f
        add.l   d3,d4
        move.l  d4,O_POSITION-OWN(a6)
        moveq   #0,d0
        movem.l (sp)+,d3-d4/a3-a6
        rts
2:      moveq   #-1,d0
        move.l  d0,O_POSITION-OWN(a6)   | unknown: seek before the next read
        movem.l (sp)+,d3-d4/a3-a6
        rts

| Drops the bytes waiting in the keyboard ACIA.
flush_keyboard:
        btst    #0,0xfffffc00.w
        beq.s   1f
        move.b  0xfffffc02.w,d0
        bra.s   flush_keyboard
1:      rts

| Next blank-separated decimal number of the command tail at a5, in d0;
| negative when there is none.
next_number:
        cmp.b   #' ',(a5)
        bne.s   1f
        addq.l  #1,a5
        bra.s   next_number
1:      moveq   #0,d0
        moveq   #0,d1
        move.b  (a5),d1
        sub.b   #'0',d1
        bmi.s   4f
        cmp.b   #9,d1
        bhi.s   4f
2:      move.b  (a5),d1
        sub.b   #'0',d1
        bmi.s   3f
        cmp.b   #9,d1
        bhi.s   3f
        addq.l  #1,a5
        mulu    #10,d0                  | frame numbers stay below 100000
        add.l   d1,d0
        cmp.l   #100000,d0
        bhs.s   4f
        bra.s   2b
3:      tst.l   d0
        rts
4:      moveq   #-1,d0
        rts

usage:
        lea     usage_text(pc),a0
        bra.s   fail
cannot_open:
        lea     open_text(pc),a0
        bra.s   fail
cannot_read:
        lea     read_text(pc),a0
        bra.s   fail
no_container:
        lea     container_text(pc),a0
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

usage_text:
        .asciz  "usage: ZRPPLAY FILE.ZRP [FIRST [LAST]]\r\n"
open_text:
        .asciz  "ZRPPLAY: cannot open the file\r\n"
read_text:
        .asciz  "ZRPPLAY: the file could not be read to its end\r\n"
container_text:
        .asciz  "ZRPPLAY: not a Zorpa container, or no frame to show\r\n"
        .balign 2

        .include "player.S"
        .balign 2
text_end:
        .long   0                       | empty relocation table

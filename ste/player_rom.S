| Bootable 256 KB STE ROM image (TOS-style header, base 0xE00000, no TOS)
| that plays a Zorpa container from the first ACSI disk: the container's
| first byte is the disk's first sector, so the container file itself is a
| disk image. The parameter block at 0x30 holds the first and the last frame
| to show; tools/st-play.sh patches it.
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
        .ascii  "ZRPROM01"              | 0x30 magic
param_first:
        .long   0                       | 0x38 first frame
param_last:
        .long   0xffffffff              | 0x3c last frame (past the end: the last)

        .equ ROUTINE_RAM, 0x10000
        .equ WORK, 0x20000

        .org    0x60
reset:
        move.w  #0x2700,sr
        move.b  #2,0xffff820a.w         | 50 Hz from the first frame on
        move.b  #0x05,0xffff8001.w      | memory: two banks of 512 KB
        lea     0x8000,sp
| The player runs from RAM: its cycle counts assume the ST's RAM timing.
        lea     routine(pc),a4
        lea     ROUTINE_RAM,a5
        move.w  #(routine_end-routine)/2-1,d0
1:      move.w  (a4)+,(a5)+
        dbra    d0,1b
        move.b  #0x03,0xfffffc00.w      | keyboard ACIA: master reset, then
        move.b  #0x96,0xfffffc00.w      | receive interrupts on, so a key stops
2:      btst    #0,0xfffffc00.w         | the player (GPIP bit 4); drop what waits
        beq.s   3f
        move.b  0xfffffc02.w,d0
        bra.s   2b
3:      lea     microwire(pc),a0        | sound: full volume, flat, YM mixed in
        moveq   #MICROWIRE_COMMANDS-1,d1
4:      move.w  (a0)+,d0
        bsr     microwire_send
        dbra    d1,4b
        lea     WORK,a2
        lea     done(pc),a3
        lea     acsi_read(pc),a4
        move.l  param_first(pc),d0
        move.l  param_last(pc),d1
        moveq   #0x10,d4
        jmp     ROUTINE_RAM + (player_start - routine)

| The end: black, or red when the disk could not be read or holds no
| container.
done:   move.w  #0x2700,sr
        cmp.w   #PLAYER_READ_ERROR,d0
        blo.s   halt
        move.w  #0x700,0xffff8240.w
halt:   bra.s   halt

        .include "acsi.inc"
        .include "microwire.inc"

        .balign 2
routine:
        .include "player.S"
        .balign 2
routine_end:

        .org    0x40000 - 2
        .word   0

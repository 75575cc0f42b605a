/* The zorpamux window's controls: identifiers, texts and places in dialog
   units. Read by the C++ of both windows and by the Windows resource
   compiler, so it holds preprocessor definitions only. */
#ifndef ZORPAMUX_MUX_LAYOUT_H
#define ZORPAMUX_MUX_LAYOUT_H

#define ZORPAMUX_TITLE "STE Zorpa multiplexer"

/* Client area, in dialog units. */
#define ZORPAMUX_WIDTH_DU 236
#define ZORPAMUX_HEIGHT_DU 102

/* Identifiers, in the keyboard focus order. */
#define ZORPAMUX_QUIT_ID 1015
#define ZORPAMUX_SELECT_PICTURE_ID 1004
#define ZORPAMUX_SELECT_SOUND_ID 1005
#define ZORPAMUX_CREATE_ID 1006
#define ZORPAMUX_PICTURE_LABEL_ID 1007
#define ZORPAMUX_SOUND_LABEL_ID 1008
#define ZORPAMUX_START_LABEL_ID 1009
#define ZORPAMUX_START_FIELD_ID 1011
#define ZORPAMUX_OFFSET_FIELD_ID 1012
#define ZORPAMUX_LAST_LABEL_ID 1013
#define ZORPAMUX_LAST_FIELD_ID 1014
#define ZORPAMUX_PROGRESS_ID 1099

/* Texts. */
#define ZORPAMUX_QUIT_TEXT "QUIT"
#define ZORPAMUX_SELECT_PICTURE_TEXT "Select BVK"
#define ZORPAMUX_SELECT_SOUND_TEXT "Select Audio"
#define ZORPAMUX_CREATE_TEXT "Create ZRP"
#define ZORPAMUX_PICTURE_LABEL_TEXT "ANIM0000.BVK"
#define ZORPAMUX_SOUND_LABEL_TEXT "AUDIO.WAV"
#define ZORPAMUX_START_LABEL_TEXT "Start frame:"
#define ZORPAMUX_LAST_LABEL_TEXT "Last frame # :"
#define ZORPAMUX_FIELD_TEXT "0"

/* Places: x, y, width, height in dialog units. */
#define ZORPAMUX_QUIT_BOX 174, 70, 50, 14
#define ZORPAMUX_SELECT_PICTURE_BOX 15, 10, 80, 14
#define ZORPAMUX_SELECT_SOUND_BOX 15, 31, 80, 14
#define ZORPAMUX_CREATE_BOX 17, 70, 100, 14
#define ZORPAMUX_PICTURE_LABEL_BOX 101, 12, 63, 10
#define ZORPAMUX_SOUND_LABEL_BOX 101, 33, 64, 8
#define ZORPAMUX_START_LABEL_BOX 179, 0, 37, 8
#define ZORPAMUX_START_FIELD_BOX 189, 11, 28, 12
#define ZORPAMUX_OFFSET_FIELD_BOX 189, 28, 28, 12
#define ZORPAMUX_LAST_LABEL_BOX 138, 50, 44, 8
#define ZORPAMUX_LAST_FIELD_BOX 189, 48, 28, 13

/* The progress bar sits below the controls and is placed in pixels. */
#define ZORPAMUX_PROGRESS_PIXELS 10, 142, 336, 18

/* Background of the window and its labels: red, green, blue. */
#define ZORPAMUX_BACKGROUND 217, 217, 217

#endif

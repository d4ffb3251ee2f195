/* Ids of the module's string table and bitmap. Plain defines, because the
   resource compiler reads this file too. Dialog and icon ids: dialog_ids.h. */
#pragma once

/* String table */
#define IDS_OUT_OF_MEMORY 2
#define IDS_HELP_FILE 4
#define IDS_SHORT_NAME 300
#define IDS_FILTER_NAME 310
#define IDS_MAKER_NAME 320
#define IDS_FILTER_MENU_NAME 360
#define IDS_MAKER_MENU_NAME 370

/* Bitmap, 80 x 15 in 16 colours; not loaded by the filter's own code */
#define IDB_MAKER_LOGO 400

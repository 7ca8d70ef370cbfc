// Control ids shared by the dialog templates (dialogs.rc) and the dialog code. Plain #defines so
// that the resource compiler reads them too.
#pragma once

// Buttons shared by several dialogs: "Ref" / "Ref." and the path or folder edit beside it.
#define IDC_REF_BUTTON 3000
#define IDC_PATH_EDIT 3010

// General Setting (SETDLG / SETDLGE)
#define IDC_ORG_FILE_DELETE 4000
#define IDC_NEW_FILE_RECORD 4010
#define IDC_NEW_FILE_OPEN 4020
#define IDC_FILE_BACKUP 4030
#define IDC_PAGE_DISP 4040

// Page range (EXTDLG / EXTDLGE)
#define IDC_PAGE_RANGE_EDIT 5010

// About (ABOUTDLG / ABOUTDLGE)
#define IDC_ABOUT_VERSION 5030

// Password (PASSDLG / PASSDLGE)
#define IDC_PASSWORD_EDIT 5060
#define IDC_PASSWORD_PROMPT 8100
#define IDC_PASSWORD_FILE 8110
#define IDC_PASSWORD_NOTE1 8120
#define IDC_PASSWORD_NOTE2 8130

// Progress (THDDLG / THDDLGE) and the commands the worker sends it
#define IDC_PROGRESS_TEXT 6000
#define IDM_JOB_PROGRESS 6100
#define IDM_JOB_FINISHED 6110

// File Setting (FSETDLG / FSETDLGE)
#define IDC_SCALE_LIST 7000
#define IDC_SCALE_EDIT 7010
#define IDC_AREA_AUTOFIT 7020
#define IDC_LAYOUT_LIST 7030
#define IDC_DIRECTION_LIST 7040
#define IDC_KEEP_EXTRACT 7050
#define IDC_MODE_EXTRACT 7060
#define IDC_KEEP_MERGE 7070
#define IDC_MODE_MERGE 7080
#define IDC_KEEP_SPLIT 7090
#define IDC_MODE_SPLIT 7100
#define IDC_FILENAME_TO_OUTLINE 7200
#define IDC_OUTLINE_BOLD 7210
#define IDC_OUTLINE_ITALIC 7212
#define IDC_OUTLINE_COLOR 7214
#define IDC_LOWER_LEVELS 7220
#define IDC_OUTLINE_CLOSED 7230
#define IDC_KEEP_ANNOTS 7240

// Security (IDD_SETSEC / IDD_SETSECE)
#define IDC_USER_PASSWORD 8000
#define IDC_OWNER_PASSWORD 8010
#define IDC_ALLOW_PRINT 8020
#define IDC_ALLOW_COPY 8030
#define IDC_ALLOW_MODIFY 8040
#define IDC_ALLOW_ANNOTATE 8050
#define IDC_SAVE_BESIDE 8060
#define IDC_SAVE_IN_FOLDER 8070
#define IDC_FOLDER_EDIT 8080

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

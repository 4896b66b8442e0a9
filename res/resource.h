// Resources: identifiers of the dialog templates and their controls, shared by the .rc and the
// window classes of the Windows user interface.
#pragma once

// The product's icon: the first icon of the binary, so the shell shows it for the DLL as well.
#define IDI_TANDEMERE 1

// Dialog templates.
#define IDD_LOG 103
#define IDD_PROGRESS 108
#define IDD_CHOICE_PROMPT 203
#define IDD_CLASH_PROMPT 204
#define IDD_SETTINGS 205

// Log window.
#define IDC_LOG_TEXT 201
#define IDC_LOG_HEADER 240
#define IDC_LOG_SUMMARY 241
#define IDC_LOG_COPY 242
#define IDC_LOG_SAVE 243

// Both prompts.
#define IDC_QUESTION 202
#define IDC_THIS_MOVE 206
#define IDC_EVERY_MOVE 207
#define IDC_CANCEL_TEXT 223
// The answer buttons: their ids are the answer codes that are stored in the settings.
#define IDC_ANSWER_FIRST 230
#define IDC_ANSWER_SECOND 231
#define IDC_ANSWER_THIRD 232

// Different-file prompt.
#define IDC_SRC_PATH 208
#define IDC_DEST_PATH 209
#define IDC_SRC_SIZE 210
#define IDC_DEST_SIZE 211
#define IDC_SRC_TIME 212
#define IDC_DEST_TIME 213
#define IDC_OPEN_SRC 214
#define IDC_OPEN_DEST 215
#define IDC_CLASH_TEXT1 220
#define IDC_CLASH_TEXT2 221
#define IDC_CLASH_TEXT3 222

// Choice prompt (its explanations use other ids than the different-file prompt's).
#define IDC_CHOICE_TEXT1 221
#define IDC_CHOICE_TEXT2 222
#define IDC_CHOICE_TEXT3 224

// Progress window.
#define IDC_PROGRESS_BYTES 216
#define IDC_PROGRESS_BAR 217
#define IDC_PROGRESS_ITEM 218
#define IDC_PROGRESS_COUNT 219

// Settings window: two group boxes; its rows are made at run time, one per setting of the
// settings table, a check box or a drop-down at IDC_SETTING_FIRST plus the setting's index and a
// drop-down's label at IDC_SETTING_LABEL_FIRST plus the index.
#define IDC_SETTINGS_SWITCHES 250
#define IDC_SETTINGS_ANSWERS 251
#define IDC_SETTING_FIRST 300
#define IDC_SETTING_LABEL_FIRST 350

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Ids of the dialog templates and their controls, shared by the resource script and the
   dialog code. */
#ifndef NOVIQ_DIALOG_IDS_H
#define NOVIQ_DIALOG_IDS_H

#define NOVIQ_DIALOG_JRE_NOT_FOUND 201
#define NOVIQ_DIALOG_JAVA_EXCEPTION 231

/* "JRE Not Found" */
#define NOVIQ_JRE_PATH_EDIT 201
#define NOVIQ_BROWSE_BUTTON 202
#define NOVIQ_NOT_FOUND_TEXT 203
#define NOVIQ_ERROR_ICON 204
#define NOVIQ_DOWNLOAD_LINK 205
#define NOVIQ_BROWSE_HINT 206
#define NOVIQ_DOWNLOAD_COPYABLE 207

/* "Java Exception" (its icon is NOVIQ_ERROR_ICON too) */
#define NOVIQ_TRACE_EDIT 208
#define NOVIQ_TRACE_GROUP 209
#define NOVIQ_TRACE_HEADING 210
#define NOVIQ_TRACE_CHOICE 211
#define NOVIQ_TRACE_WARNING 212

/* Where the link of "JRE Not Found" leads; it is also the link's text. The terminal form
   prints message 243, which holds the same address. */
#define NOVIQ_DOWNLOAD_ADDRESS "https://java.com/"

#endif

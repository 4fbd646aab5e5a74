// Resource identifiers shared by the resource script and the code.
#ifndef QUORLEN_RESOURCES_RESOURCE_H
#define QUORLEN_RESOURCES_RESOURCE_H

// String table: one block (ids 0 to 15), 21 languages.
#define IDS_NOT_SUPPORTED     1
#define IDS_RESTART_QUESTION  2
#define IDS_INSTALL_COMPLETED 3
#define IDS_RESTART_NOW       4
#define IDS_RESTART_LATER     5
#define IDS_INSTALL_FAILED    6

// The region list payload, a custom resource type named by a string.
#define IDR_REGION_LIST       104

// The restart prompt dialog and its question text.
#define IDD_RESTART           108
#define IDC_RESTART_TEXT      1000

#endif

#ifndef QUENDRO_CONTROL_IDS_H
#define QUENDRO_CONTROL_IDS_H
/* Command and control identifiers of the main window, shared with the
   resource script. None is IDOK (1) or IDCANCEL (2): Escape must do nothing
   in this window. */
#define idBtnExec 101
#define idBtnClose 102
#define idChkShowError 103
#define idChkOnErrorStop 104
#define idChkShutdown 105
#define idClbDriveList 106
#define idPanel1 107
#define idLabel1 108
#define idURLLabel1 109
#define idBevel1 110

#define idMainMenu 200
#define idL1 201
#define idExit1 202
#define idSearchforHelpOn1 203
#define idAbout1 204
#define idAccelerators 210
#endif

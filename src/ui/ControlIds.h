#pragma once
// Command and control identifiers of the main window. None is IDOK (1) or
// IDCANCEL (2): Escape must do nothing in this window.
enum ControlId {
    idBtnExec = 101,
    idBtnClose = 102,
    idChkShowError = 103,
    idChkOnErrorStop = 104,
    idChkShutdown = 105,
    idClbDriveList = 106,
    idPanel1 = 107,
    idLabel1 = 108,
    idURLLabel1 = 109,
    idBevel1 = 110,
};

enum MenuId {
    idMainMenu = 200,
    idL1 = 201,
    idExit1 = 202,
    idSearchforHelpOn1 = 203,
    idAbout1 = 204,
    idAccelerators = 210,
};

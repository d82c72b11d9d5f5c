#pragma once
// Norvane's command modes, in the order of their switches; stored and compared as numbers.
enum UpdateMode : int {
    ExplicitUpdate = 0,  // "/explicitupdate": the user asked for an update check
    UpdateNotice = 1,    // "/updatenotice": the agent found an update in the background
    AdminProgress = 2,   // "/adminprogress": the elevated copy that runs the setup
    BgPrepare = 3,       // "/bgprepare": downloads ahead, shows nothing
    SendLog = 4,         // "/sendlog": one GET from a low-integrity copy
};

#pragma once

// End codes of the login dialog: the hand-over to start-up.
enum LoginResult : int {
    kLoginSignedIn = 0,
    kLoginRunUpdater = 1,
    kLoginClosed = 2,
};

// Runs the login dialog modally and returns its end code.
int RunLoginDialog();

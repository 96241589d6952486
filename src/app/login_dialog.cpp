#include "app/login_dialog.h"

// Until the login dialog exists, the user can only have closed it.
int RunLoginDialog() {
    return kLoginClosed;
}

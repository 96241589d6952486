// Resource ids of the web view, shared with browser.rc: keep this file to
// plain #defines.
#pragma once

// The page's context menu: one popup with the three edit commands.
#define IDR_PAGE_MENU 133
#define ID_PAGE_CUT 32774
#define ID_PAGE_COPY 32775
#define ID_PAGE_PASTE 32776

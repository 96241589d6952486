// The plug-in's one entry point; config.def exports it under its plain name.
#include "config/config_plugin.h"

#include "config/config_dialog.h"
#include "config/config_resource.h"

#include <type_traits>

// The linker's symbol for this DLL's own module: the dialog's resources live here.
extern "C" IMAGE_DOS_HEADER __ImageBase;

static_assert(std::is_same_v<decltype(&ExecConfig), ExecConfigProc>,
              "the callers' typedef matches the export");

extern "C" int __cdecl ExecConfig(HWND owner, HMODULE /*resources*/, CSMSSetting* settings,
                                  const wchar_t* /*sessionId*/) {
    if (!settings) {
        return 0;
    }
    // Nothing may unwind into the caller's module.
    try {
        const DLGTEMPLATE* dialogTemplate =
            FindDialogTemplate(reinterpret_cast<HMODULE>(&__ImageBase), IDD_CONFIG);
        if (!dialogTemplate) {
            return 0;
        }
        CConfigDlg dialog(dialogTemplate, *settings);
        return dialog.DoModal(owner) == IDOK ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

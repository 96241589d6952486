#include "app/velmarin_app.h"
#include "framework/program_files.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem();
    CVelmarinApp app;
    return app.Execute();
}

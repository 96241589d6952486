#include "app/velmarin_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CVelmarinApp app;
    return app.Execute();
}

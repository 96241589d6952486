// Settings documents of any shape must load and save without fault: the input
// is the document's 8-bit text, enciphered into a real file as the program's
// installer would, and also taken raw as file bytes.
#include "settings/settings_file.h"
#include "settings/sms_setting.h"
#include "text/ansi_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    DecodeSettingsText(input);

    // A folder of its own: a save looks through the file's folder for stale temporary files.
    static const std::string folder = [] {
        char name[] = "/tmp/settings_file_fuzz.XXXXXX";
        return std::string(mkdtemp(name) ? name : "/tmp");
    }();
    static const std::string path = folder + "/velmarin.dat";
    static const bool removeAtExit = std::atexit([] {
                                         std::remove(path.c_str());
                                         rmdir(folder.c_str());
                                     }) == 0;
    (void)removeAtExit;
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        const std::string bytes = EncodeSettingsText(FromAnsi(input));
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    CSMSSetting settings(std::wstring(path.begin(), path.end()));
    if (settings.Load()) {
        settings.userInfo.userList.push_back(L"05512345678");
        settings.Save();
        CSMSSetting again(std::wstring(path.begin(), path.end()));
        again.Load();
    }
    return 0;
}

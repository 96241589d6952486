#pragma once
// The user's settings: the enciphered XML file in the program folder, read
// into public fields at start-up and written back into the same document at
// shutdown. The settings plug-in changes the object in place through its
// address, so the order and types of the fields below are fixed.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

// A 32-bit boolean, as wide as the platform's BOOL.
using SettingBool = int32_t;

// One entry of the installed file list.
struct UPDATEFILE_TAG {
    std::wstring name;
    std::wstring path;
    std::wstring version;
};

// The remembered accounts.
struct USERINFO_TAG {
    std::wstring defaultUser;
    std::wstring defaultPassword; // the stored password or the placeholder "737373"
    std::vector<std::wstring> userList;
};

// The update state.
struct UPDATEINFO_TAG {
    std::wstring lastVersion; // the newest version the service reported
    std::wstring version;     // the installed version; never written
    std::wstring adTime;
    std::vector<UPDATEFILE_TAG> fileList; // never written
};

inline constexpr std::size_t kSoundCount = 3;
inline constexpr int32_t kDefaultCtrlKey = 1;
inline constexpr char kDefaultCodeKey = 'E';

class CSMSSetting {
public:
    explicit CSMSSetting(const std::wstring& path);
    virtual ~CSMSSetting();
    CSMSSetting(const CSMSSetting&) = delete;
    CSMSSetting& operator=(const CSMSSetting&) = delete;

    // False when the file is missing, cannot be deciphered or parsed, or lacks
    // a key every settings file has; the fields and document are then unchanged.
    bool Load();
    // Writes the fields into the document and the document into the existing
    // file. False, with the file unchanged, when nothing was loaded, the file
    // is missing, or the document cannot be made small enough for Load.
    bool Save();

    SettingBool isOpen = 0; // sound on
    std::array<std::wstring, kSoundCount> soundName;
    std::array<std::wstring, kSoundCount> soundPath;
    SettingBool autoLogin = 0;
    int32_t reserved = 0;
    int32_t allowHotKey = 0;
    int32_t shiftKey = 0;
    int32_t ctrlKey = kDefaultCtrlKey;
    int32_t altKey = 0;
    char codeKey = kDefaultCodeKey;
    USERINFO_TAG userInfo;
    std::wstring appServer;
    std::wstring updServer;
    UPDATEINFO_TAG updateInfo;
    std::wstring filePath;
    std::unique_ptr<TiXmlDocument> document; // owned; kept from load to save

private:
    void ReadFields(TiXmlElement* root);
    void WriteFields(TiXmlElement* root);
    void WriteUserList(TiXmlElement* root, const std::vector<std::wstring>& users);
    bool DropOldestUser(std::vector<std::wstring>& users) const;
};

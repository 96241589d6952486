#include "settings/sms_setting.h"

#include "settings/settings_file.h"
#include "settings/settings_paths.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <climits>
#include <tinyxml.h>

namespace {

const char kIsOpen[] = "//soundset//isopen";
const char kSoundList[] = "//soundset//soundlist";
const char kUserName[] = "//userinfo//defaultuser//username";
const char kUserPwd[] = "//userinfo//defaultuser//userpwd";
const char kUserList[] = "//userinfo//userlist";
const char kAutoLogin[] = "//loginset//autologin";
const char kAllowHotKey[] = "//hotkeyset//allowhotkey";
const char kCtrlKey[] = "//hotkeyset//ctrlkey";
const char kShiftKey[] = "//hotkeyset//shiftkey";
const char kAltKey[] = "//hotkeyset//altkey";
const char kCodeKey[] = "//hotkeyset//codekey";
const char kAppServer[] = "//serverinfo//appserver";
const char kUpdServer[] = "//serverinfo//updserver";
const char kLastVersion[] = "//updateinfo//lastversion";
const char kVersion[] = "//updateinfo//version";
const char kAdTime[] = "//updateinfo//adtime";
const char kFileList[] = "//updateinfo//filelist";

const char kFileItem[] = "file";
const char kUserItem[] = "user";
const char kNameAttribute[] = "name";
const char kPathAttribute[] = "path";
const char kVersionAttribute[] = "version";

const char kTrue[] = "true";
const char kFalse[] = "false";
// Stored in place of an empty password while auto-login is on.
const wchar_t kPasswordPlaceholder[] = L"737373";

// Keys read with no fallback: a document without them is no settings file.
const char* const kRequiredKeys[] = {kCtrlKey,   kShiftKey,    kAltKey,  kCodeKey, kAppServer,
                                     kUpdServer, kLastVersion, kVersion, kAdTime};

std::wstring TextOf(const TiXmlElement* element) {
    return FromAnsi(ElementText(element));
}

std::wstring AttributeOf(const TiXmlElement* element, const char* name) {
    const char* value = element->Attribute(name);
    return value ? FromAnsi(value) : std::wstring();
}

// Only the exact lower-case "true" counts.
SettingBool BoolOf(const TiXmlElement* element) {
    return HasText(element) && ElementText(element) == kTrue;
}

// The leading decimal number of the text, as the C library reads it, but
// clamped instead of overflowing.
int32_t NumberOf(const TiXmlElement* element) {
    const std::string text = ElementText(element);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
    }
    value = negative ? -value : std::min<int64_t>(value, INT32_MAX);
    return static_cast<int32_t>(value);
}

const char* BoolText(SettingBool value) {
    return value ? kTrue : kFalse;
}

void SetText(TiXmlElement* root, const char* key, const std::string& text) {
    SetElementText(FindOrMakePath(root, key), text);
}

void SetText(TiXmlElement* root, const char* key, const std::wstring& text) {
    SetText(root, key, ToAnsi(text));
}

} // namespace

CSMSSetting::CSMSSetting(const std::wstring& path)
    : filePath(path), document(std::make_unique<TiXmlDocument>()) {}

CSMSSetting::~CSMSSetting() = default;

bool CSMSSetting::Load() {
    std::string bytes;
    if (!ReadFileBytes(WidePath(filePath), kSettingsFileMaxBytes, bytes)) {
        return false;
    }
    auto doc = std::make_unique<TiXmlDocument>();
    if (!ParseSettingsXml(ToAnsi(DecodeSettingsText(bytes)), *doc)) {
        return false;
    }
    TiXmlElement* root = doc->RootElement();
    for (const char* key : kRequiredKeys) {
        if (!FindPath(root, key)) {
            return false;
        }
    }
    document = std::move(doc);
    ReadFields(root);
    return true;
}

void CSMSSetting::ReadFields(TiXmlElement* root) {
    isOpen = BoolOf(FindPath(root, kIsOpen));

    // Entries after the third are left alone, here and at save.
    const std::vector<TiXmlElement*> sounds = FindList(root, kSoundList, kFileItem);
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        soundName[i] = i < sounds.size() ? AttributeOf(sounds[i], kNameAttribute) : std::wstring();
        soundPath[i] = i < sounds.size() ? AttributeOf(sounds[i], kPathAttribute) : std::wstring();
    }

    userInfo.defaultUser = TextOf(FindPath(root, kUserName));
    userInfo.defaultPassword = TextOf(FindPath(root, kUserPwd));
    userInfo.userList.clear();
    for (const TiXmlElement* user : FindList(root, kUserList, kUserItem)) {
        userInfo.userList.push_back(AttributeOf(user, kNameAttribute));
    }

    autoLogin = BoolOf(FindPath(root, kAutoLogin));

    allowHotKey = NumberOf(FindPath(root, kAllowHotKey));
    ctrlKey = NumberOf(FindPath(root, kCtrlKey));
    shiftKey = NumberOf(FindPath(root, kShiftKey));
    altKey = NumberOf(FindPath(root, kAltKey));
    const std::string code = ElementText(FindPath(root, kCodeKey));
    codeKey = code.empty() ? '\0' : code.front();

    appServer = TextOf(FindPath(root, kAppServer));
    updServer = TextOf(FindPath(root, kUpdServer));
    updateInfo.lastVersion = TextOf(FindPath(root, kLastVersion));
    updateInfo.version = TextOf(FindPath(root, kVersion));
    updateInfo.adTime = TextOf(FindPath(root, kAdTime));

    updateInfo.fileList.clear();
    for (const TiXmlElement* file : FindList(root, kFileList, kFileItem)) {
        updateInfo.fileList.push_back({AttributeOf(file, kNameAttribute), AttributeOf(file, kPathAttribute),
                                       AttributeOf(file, kVersionAttribute)});
    }
}

bool CSMSSetting::Save() {
    TiXmlElement* root = document ? document->RootElement() : nullptr;
    if (!root) {
        return false;
    }
    WriteFields(root);

    // Over the read limit the next start would find no settings at all:
    // forget the oldest remembered numbers first, never the default user.
    std::vector<std::wstring> users = userInfo.userList;
    std::string bytes = EncodeSettingsText(FromAnsi(CompactSettingsXml(*document)));
    while (bytes.size() > kSettingsFileMaxBytes) {
        if (!DropOldestUser(users)) {
            return false;
        }
        WriteUserList(root, users);
        bytes = EncodeSettingsText(FromAnsi(CompactSettingsXml(*document)));
    }
    if (!ReplaceFileContent(WidePath(filePath), bytes)) {
        return false;
    }
    userInfo.userList = std::move(users);
    return true;
}

void CSMSSetting::WriteFields(TiXmlElement* root) {
    if (TiXmlElement* element = FindPath(root, kIsOpen); HasText(element)) {
        SetElementText(element, BoolText(isOpen));
    }

    const std::vector<TiXmlElement*> sounds = FindList(root, kSoundList, kFileItem);
    for (std::size_t i = 0; i < std::min(sounds.size(), kSoundCount); ++i) {
        sounds[i]->SetAttribute(kPathAttribute, ToAnsi(soundPath[i]));
    }

    SetText(root, kAllowHotKey, std::to_string(allowHotKey));
    SetText(root, kCtrlKey, std::to_string(ctrlKey));
    SetText(root, kShiftKey, std::to_string(shiftKey));
    SetText(root, kAltKey, std::to_string(altKey));
    // A zero byte would end the deciphered document early.
    SetText(root, kCodeKey, codeKey ? std::string(1, codeKey) : std::string());

    SetText(root, kAdTime, updateInfo.adTime);
    SetText(root, kLastVersion, updateInfo.lastVersion);
    SetText(root, kAppServer, appServer);
    SetText(root, kUpdServer, updServer);

    if (!userInfo.defaultUser.empty()) {
        SetText(root, kUserName, userInfo.defaultUser);
    }
    if (autoLogin) {
        if (userInfo.defaultPassword.empty()) {
            userInfo.defaultPassword = kPasswordPlaceholder;
        }
        SetText(root, kUserPwd, userInfo.defaultPassword);
    }

    WriteUserList(root, userInfo.userList);

    SetText(root, kAutoLogin, std::string(BoolText(autoLogin)));
}

void CSMSSetting::WriteUserList(TiXmlElement* root, const std::vector<std::wstring>& users) {
    TiXmlElement* list = users.empty() ? FindPath(root, kUserList) : FindOrMakePath(root, kUserList);
    if (!list) {
        return;
    }
    for (TiXmlElement* user : FindList(root, kUserList, kUserItem)) {
        list->RemoveChild(user);
    }
    for (const std::wstring& number : users) {
        TiXmlElement user(kUserItem);
        user.SetAttribute(kNameAttribute, ToAnsi(number));
        list->InsertEndChild(user);
    }
}

bool CSMSSetting::DropOldestUser(std::vector<std::wstring>& users) const {
    auto oldest = std::find_if(users.begin(), users.end(),
                               [&](const std::wstring& number) { return number != userInfo.defaultUser; });
    if (oldest == users.end()) {
        return false;
    }
    users.erase(oldest);
    return true;
}

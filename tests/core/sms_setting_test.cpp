#include "protocol/text_cipher.h"
#include "settings/settings_file.h"
#include "settings/settings_paths.h"
#include "settings/sms_setting.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <tinyxml.h>

namespace fs = std::filesystem;

namespace {

const std::wstring kSettingsKey = L"KKLLMMNNPPQQRRSS";

// A complete document in the compact form the program writes, with Chinese
// values and an element the program does not know.
const std::wstring kBaseXml =
    L"<settings><soundset><isopen>true</isopen><soundlist>"
    L"<file name=\"新消息\" path=\"C:\\声音\\新消息.wav\" /><file name=\"b\" path=\"b.wav\" />"
    L"<file name=\"c\" path=\"c.wav\" /></soundlist></soundset>"
    L"<userinfo><defaultuser><username>05711234567</username><userpwd>密码pw</userpwd></defaultuser>"
    L"<userlist><user name=\"05711234567\" /><user name=\"01087654321\" /></userlist></userinfo>"
    L"<loginset><autologin>false</autologin></loginset>"
    L"<hotkeyset><allowhotkey>1</allowhotkey><ctrlkey>1</ctrlkey><shiftkey>0</shiftkey><altkey>1</altkey>"
    L"<codekey>Q</codekey></hotkeyset>"
    L"<serverinfo><appserver>http://127.0.0.1:8080</appserver><updserver>http://127.0.0.1:8081</updserver>"
    L"</serverinfo><updateinfo><lastversion>1.0.0.2</lastversion><version>1.0.0.1</version>"
    L"<adtime>Mon, 01 Jan 2024</adtime><filelist><file name=\"Velmarin.exe\" path=\"\" version=\"1.0.0.1\" />"
    L"</filelist></updateinfo><extra mode=\"keep\">未知<inner /></extra></settings>";

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
    std::size_t pos = text.find(from);
    EXPECT_NE(pos, std::wstring::npos) << "fixture text not found";
    if (pos != std::wstring::npos) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

// The file format, written out here: the Base64 cipher text as UTF-16LE.
std::string Encoded(const std::wstring& xml) {
    std::string bytes;
    for (wchar_t c : EncryptText(xml, kSettingsKey)) {
        bytes += {static_cast<char>(c), '\0'};
    }
    return bytes;
}

std::wstring Decoded(const std::string& bytes) {
    std::wstring cipher;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        cipher += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | bytes[i + 1] << 8);
    }
    return DecryptText(cipher, kSettingsKey);
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        // A Chinese folder name checks that the path stays wide on Windows.
        const std::wstring separator(1, fs::path::preferred_separator);
        const std::wstring wideDir =
            fs::temp_directory_path().wstring() + separator + L"velmarin_设置_" + std::to_wstring(random());
        m_widePath = wideDir + separator + L"velmarin.dat";
        m_dir = WidePath(wideDir);
        m_path = WidePath(m_widePath);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    void WriteBytes(const std::string& bytes) {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string ReadBytes() {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::wstring Saved() { return Decoded(ReadBytes()); }
    bool SavedHas(const std::wstring& text) { return Saved().find(text) != std::wstring::npos; }
    std::unique_ptr<CSMSSetting> Loaded(const std::wstring& xml) {
        WriteBytes(Encoded(xml));
        auto settings = std::make_unique<CSMSSetting>(m_widePath);
        EXPECT_TRUE(settings->Load());
        return settings;
    }
    std::unique_ptr<CSMSSetting> LoadedWith(const std::wstring& from, const std::wstring& to) {
        return Loaded(Replace(kBaseXml, from, to));
    }
    std::size_t FilesInDir() {
        return std::distance(fs::directory_iterator(m_dir), fs::directory_iterator());
    }

    fs::path m_dir;
    fs::path m_path;
    std::wstring m_widePath;
};

} // namespace

TEST(SettingsPaths, LookupTakesFirstElementChildByExactName) {
    TiXmlDocument doc;
    ASSERT_TRUE(ParseSettingsXml(
        "<r>userinfo<!--userinfo--><UserInfo><a>x</a></UserInfo>"
        "<userinfo><a>first</a><a>second</a></userinfo><userinfo><a>later</a></userinfo></r>",
        doc));
    const struct {
        const char* key;
        const char* text; // null: nothing found
    } cases[] = {
        {"//userinfo//a", "first"}, {"userinfo//a", "first"},  {"//UserInfo//a", "x"},
        {"//userinfo//b", nullptr}, {"//nothing//a", nullptr}, {"//userinfo////a", nullptr},
    };
    for (const auto& c : cases) {
        TiXmlElement* found = FindPath(doc.RootElement(), c.key);
        if (!c.text) {
            EXPECT_EQ(found, nullptr) << c.key;
        } else {
            EXPECT_EQ(ElementText(found), c.text) << c.key;
        }
    }
    EXPECT_EQ(FindList(doc.RootElement(), "//userinfo", "a").size(), 2u);
    EXPECT_TRUE(FindList(doc.RootElement(), "//missing", "a").empty());
}

TEST(SettingsPaths, TextIsOnlyALeadingTextNode) {
    TiXmlDocument doc;
    ASSERT_TRUE(ParseSettingsXml("<r><a><b/>tail</a><c><![CDATA[x]]></c></r>", doc));
    TiXmlElement* a = FindPath(doc.RootElement(), "//a");
    EXPECT_FALSE(HasText(a));
    // Setting a text must not rename the child element that comes first.
    SetElementText(a, "t");
    EXPECT_EQ(CompactSettingsXml(doc), "<r><a>t<b />tail</a><c><![CDATA[x]]></c></r>");
    SetElementText(FindPath(doc.RootElement(), "//c"), "a]]>b");
    SetElementText(a, "");
    EXPECT_EQ(CompactSettingsXml(doc), "<r><a><b />tail</a><c>a]]&gt;b</c></r>");
}

TEST_F(SettingsFileTest, LoadReadsEveryFieldAndSaveKeepsTheDocument) {
    auto s = Loaded(kBaseXml);
    // Fields left at their defaults by this document are read in other tests.
    EXPECT_EQ(s->isOpen, 1);
    EXPECT_EQ(s->soundName[0], L"新消息");
    EXPECT_EQ(s->soundPath[0], L"C:\\声音\\新消息.wav");
    EXPECT_EQ(s->soundPath[2], L"c.wav");
    EXPECT_EQ(s->allowHotKey, 1);
    EXPECT_EQ(s->altKey, 1);
    EXPECT_EQ(s->codeKey, 'Q');
    EXPECT_EQ(s->userInfo.defaultUser, L"05711234567");
    EXPECT_EQ(s->userInfo.defaultPassword, L"密码pw");
    EXPECT_EQ(s->appServer, L"http://127.0.0.1:8080");
    EXPECT_EQ(s->updServer, L"http://127.0.0.1:8081");
    EXPECT_EQ(s->updateInfo.lastVersion, L"1.0.0.2");
    EXPECT_EQ(s->updateInfo.version, L"1.0.0.1");
    EXPECT_EQ(s->updateInfo.adTime, L"Mon, 01 Jan 2024");
    EXPECT_EQ(s->userInfo.userList, (std::vector<std::wstring>{L"05711234567", L"01087654321"}));
    ASSERT_EQ(s->updateInfo.fileList.size(), 1u);
    EXPECT_EQ(s->updateInfo.fileList[0].version, L"1.0.0.1");

    // Unchanged, the document goes back as it came, the unknown element included.
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(Saved(), kBaseXml);

    // Changed values go into their places, Chinese included; nothing else changes.
    s->appServer = L"http://服务器:8080";
    s->updateInfo.lastVersion = L"1.0.0.3";
    s->isOpen = 0;
    ASSERT_TRUE(s->Save());
    std::wstring expected = Replace(kBaseXml, L"<isopen>true", L"<isopen>false");
    expected = Replace(Replace(expected, L"127.0.0.1:8080", L"服务器:8080"), L"1.0.0.2", L"1.0.0.3");
    EXPECT_EQ(Saved(), expected);
}

TEST_F(SettingsFileTest, BooleansNumbersAndKeyCharacter) {
    // Only "true" exactly is true.
    for (const std::wstring text : {L"True", L" true", L"<!--c-->true", L""}) {
        EXPECT_EQ(LoadedWith(L"<isopen>true<", L"<isopen>" + text + L"<")->isOpen, 0) << ToAnsi(text);
    }
    // Numbers are the leading decimal number, held within 32 bits.
    const std::pair<std::wstring, int32_t> numbers[] = {
        {L"12abc", 12}, {L" -3", -3}, {L"99999999999", INT32_MAX}, {L"-99999999999", INT32_MIN}};
    for (const auto& [text, number] : numbers) {
        EXPECT_EQ(LoadedWith(L"<ctrlkey>1<", L"<ctrlkey>" + text + L"<")->ctrlKey, number) << ToAnsi(text);
    }
    EXPECT_EQ(LoadedWith(L"<codekey>Q<", L"<codekey>Ctrl<")->codeKey, 'C');

    // An empty key stays empty through a save rather than writing a zero byte.
    auto s = LoadedWith(L"<codekey>Q</codekey>", L"<codekey />");
    EXPECT_EQ(s->codeKey, '\0');
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(SavedHas(L"<codekey /></hotkeyset>"));
    s->codeKey = 69;
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(SavedHas(L"<codekey>E</codekey>"));
}

// Whatever cannot be read counts as missing: defaults, and the file is left alone.
TEST_F(SettingsFileTest, UnreadableFilesLoadLikeAMissingOne) {
    CSMSSetting missing(m_widePath);
    EXPECT_FALSE(missing.Load());
    EXPECT_FALSE(missing.Save());
    EXPECT_FALSE(fs::exists(m_path));

    std::string garbage;
    for (int i = 0; i < 3000; ++i) {
        garbage += static_cast<char>(i * 7919 % 251);
    }
    const std::string cases[] = {
        "",
        garbage,
        Encoded(kBaseXml.substr(0, kBaseXml.size() / 2)),
        Encoded(Replace(kBaseXml, L"<appserver>http://127.0.0.1:8080</appserver>", L"")),
        Encoded(Replace(Replace(kBaseXml, L"<hotkeyset>", L"<keys>"), L"</hotkeyset>", L"</keys>")),
        // Readable, but longer than the program reads: cut, it no longer parses.
        Encoded(Replace(kBaseXml, L"未知", std::wstring(2000, L'x'))),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(cases[i]);
        CSMSSetting s(m_widePath);
        EXPECT_FALSE(s.Load());
        EXPECT_TRUE(s.appServer.empty());
        EXPECT_TRUE(s.userInfo.userList.empty());
        EXPECT_FALSE(s.Save());
        EXPECT_EQ(ReadBytes(), cases[i]);
    }
}

TEST_F(SettingsFileTest, OptionalKeysMayBeMissing) {
    std::wstring xml = kBaseXml;
    for (const wchar_t* part : {L"<soundset><isopen>true</isopen><soundlist>", L"</soundlist></soundset>",
                                L"<loginset><autologin>false</autologin></loginset>",
                                L"<allowhotkey>1</allowhotkey>", L"<filelist>", L"</filelist>"}) {
        xml = Replace(xml, part, L"");
    }
    auto s = Loaded(xml);
    EXPECT_EQ(s->isOpen, 0);
    EXPECT_TRUE(s->soundPath[0].empty());
    EXPECT_TRUE(s->updateInfo.fileList.empty());

    // Keys save writes unconditionally are made; sound on is only ever replaced.
    s->autoLogin = 1;
    s->allowHotKey = 3;
    s->isOpen = 1;
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(SavedHas(L"<loginset><autologin>true</autologin></loginset>"));
    EXPECT_TRUE(SavedHas(L"<allowhotkey>3</allowhotkey>"));
    EXPECT_FALSE(SavedHas(L"<isopen>"));
}

TEST_F(SettingsFileTest, DefaultUserAndStoredPassword) {
    const std::wstring noUserText = Replace(kBaseXml, L"<username>05711234567</username>", L"<username />");
    const struct {
        std::wstring xml;
        SettingBool autoLogin;
        std::wstring user, password;
        std::wstring stored, inMemory;
    } cases[] = {
        // An empty default user leaves the stored one; auto-login off leaves the stored password.
        {kBaseXml, 0, L"", L"new", L"<username>05711234567</username><userpwd>密码pw</userpwd>", L"new"},
        {noUserText, 0, L"02088889999", L"", L"<username>02088889999</username><userpwd>密码pw</userpwd>",
         L""},
        {kBaseXml, 1, L"05711234567", L"", L"<userpwd>737373</userpwd>", L"737373"},
        {kBaseXml, 1, L"05711234567", L"新密码", L"<userpwd>新密码</userpwd>", L"新密码"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToAnsi(c.stored));
        auto s = Loaded(c.xml);
        s->autoLogin = c.autoLogin;
        s->userInfo.defaultUser = c.user;
        s->userInfo.defaultPassword = c.password;
        ASSERT_TRUE(s->Save());
        EXPECT_EQ(s->userInfo.defaultPassword, c.inMemory);
        EXPECT_TRUE(SavedHas(c.stored));
        EXPECT_TRUE(SavedHas(c.autoLogin ? L"<autologin>true</autologin>" : L"<autologin>false</autologin>"));
    }
}

TEST_F(SettingsFileTest, UserListIsRewrittenInOrder) {
    auto s = LoadedWith(L"<user name=\"01087654321\" />",
                        L"<note>n</note><user name=\"a\" /><user name=\"b\" /><user name=\"c\" /><user />");
    EXPECT_EQ(s->userInfo.userList.size(), 5u);
    s->userInfo.userList = {L"03", L"01", L"02"};
    ASSERT_TRUE(s->Save());
    // Other children of the list stay; the numbers go after them.
    EXPECT_TRUE(
        SavedHas(L"<userlist><note>n</note><user name=\"03\" /><user name=\"01\" /><user name=\"02\" />"
                 L"</userlist>"));
    s->userInfo.userList.clear();
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(SavedHas(L"<userlist><note>n</note></userlist>"));

    // A second load replaces the lists rather than adding to them.
    WriteBytes(Encoded(kBaseXml));
    ASSERT_TRUE(s->Load());
    EXPECT_EQ(s->userInfo.userList.size(), 2u);
    EXPECT_EQ(s->updateInfo.fileList.size(), 1u);
}

TEST_F(SettingsFileTest, OnlyThreeSoundsAreTouched) {
    auto s = LoadedWith(L"</soundlist>", L"<file name=\"d\" path=\"d.wav\" /></soundlist>");
    EXPECT_EQ(s->soundPath[2], L"c.wav");
    s->soundPath = {L"D:\\铃声\\1.wav", L"2.wav", L"3.wav"};
    s->soundName[0] = L"ignored";
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(
        SavedHas(L"<soundlist><file name=\"新消息\" path=\"D:\\铃声\\1.wav\" /><file name=\"b\" "
                 L"path=\"2.wav\" /><file name=\"c\" path=\"3.wav\" /><file name=\"d\" path=\"d.wav\" />"));
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileAndNeverCreatesOne) {
    auto s = Loaded(kBaseXml);
    // A longer old file: nothing of its tail may survive.
    WriteBytes(std::string(4800, 'A'));
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(ReadBytes(), Encoded(kBaseXml));
    EXPECT_EQ(FilesInDir(), 1u) << "temporary file left";

    fs::remove(m_path);
    EXPECT_FALSE(s->Save());
    EXPECT_FALSE(fs::exists(m_path));

    fs::create_directory(m_path);
    EXPECT_FALSE(s->Save());
    EXPECT_TRUE(fs::is_directory(m_path));
    EXPECT_EQ(FilesInDir(), 1u) << "temporary file left";
}

TEST_F(SettingsFileTest, LongUserListDropsOldestNumbersToFit) {
    auto s = Loaded(kBaseXml);
    std::vector<std::wstring> users;
    for (int i = 0; i < 200; ++i) {
        users.push_back(L"0571" + std::to_wstring(1000000 + i));
    }
    s->userInfo.userList = users;
    s->userInfo.defaultUser = users[1];
    ASSERT_TRUE(s->Save());
    EXPECT_LE(ReadBytes().size(), kSettingsFileMaxBytes);

    CSMSSetting again(m_widePath);
    ASSERT_TRUE(again.Load());
    const std::vector<std::wstring>& kept = again.userInfo.userList;
    EXPECT_EQ(kept, s->userInfo.userList);
    ASSERT_GT(kept.size(), 10u);
    // The default user and the newest numbers stay, in their order.
    EXPECT_EQ(kept.front(), users[1]);
    EXPECT_TRUE(std::equal(kept.begin() + 1, kept.end(), users.end() - (kept.size() - 1)));
    // Exactly as many as fit: one more would not.
    EXPECT_GT(Encoded(Replace(Saved(), L"<userlist>", L"<userlist><user name=\"05711000000\" />")).size(),
              kSettingsFileMaxBytes);

    // When dropping numbers cannot help, the old file stays.
    const std::string before = ReadBytes();
    s->appServer = L"http://" + std::wstring(2000, L'h');
    EXPECT_FALSE(s->Save());
    EXPECT_EQ(ReadBytes(), before);
}

TEST_F(SettingsFileTest, StaleTemporaryFilesGoAtTheNextSave) {
    auto s = Loaded(kBaseXml);
    const std::vector<std::string> stale = {"velmarin.dat.0badf00d.tmp", "velmarin.dat.ABCDEF12.tmp"};
    const std::vector<std::string> kept = {"velmarin.dat.tmp", "velmarin.dat.0badf00d.tmp.bak",
                                           "velmarin.dat.0badf00g.tmp", "other.dat.0badf00d.tmp"};
    for (const auto& names : {stale, kept}) {
        for (const std::string& name : names) {
            std::ofstream(m_dir / name) << "x";
        }
    }
    ASSERT_TRUE(s->Save());
    for (const std::string& name : stale) {
        EXPECT_FALSE(fs::exists(m_dir / name)) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(fs::exists(m_dir / name)) << name;
    }
}

namespace {

// Where the next save is "killed"; -1 for none.
int g_killAt = -1;
bool KillPoint(int step) {
    return step != g_killAt;
}

} // namespace

// A save killed at any step leaves the old or the new file whole, never a
// mix, a cut or an empty one, and the next save clears what it left.
TEST_F(SettingsFileTest, KilledSavesLeaveOneWholeFile) {
    constexpr int kKills = 1000;
    const std::wstring servers[] = {L"http://" + std::wstring(600, L'l') + L":1", L"http://s"};
    auto s = Loaded(kBaseXml);
    std::string files[2];
    for (int i = 0; i < 2; ++i) {
        s->appServer = servers[i];
        ASSERT_TRUE(s->Save());
        files[i] = ReadBytes();
    }

    struct CUnhook {
        ~CUnhook() { SetReplaceKillPointForTests(nullptr); }
    } unhook;
    SetReplaceKillPointForTests(KillPoint);
    std::mt19937 random(12345);
    int kept = 0, written = 0, tempsLeft = 0;
    for (int kill = 0, last = 1; kill < kKills; ++kill) {
        const int next = static_cast<int>(random() % 2);
        s->appServer = servers[next];
        g_killAt = static_cast<int>(random() % 16);
        s->Save();
        const std::string after = ReadBytes();
        ASSERT_TRUE(after == files[last] || after == files[next])
            << "kill " << kill << " at step " << g_killAt;
        CSMSSetting again(m_widePath);
        ASSERT_TRUE(again.Load()) << "kill " << kill;
        if (next != last) {
            ++(after == files[last] ? kept : written);
        }
        last = after == files[0] ? 0 : 1;
        tempsLeft += FilesInDir() > 1 ? 1 : 0;
    }
    std::printf("%d kills: %d left the old file, %d the new one, %d left a temporary file\n", kKills, kept,
                written, tempsLeft);
    // The kills must have landed everywhere, or the test proves little.
    EXPECT_GT(kept, kKills / 10);
    EXPECT_GT(written, kKills / 10);
    EXPECT_GT(tempsLeft, kKills / 10);

    g_killAt = -1;
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(FilesInDir(), 1u) << "a stale temporary file stayed";
}

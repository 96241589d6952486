#include "settings/settings_file.h"
#include "settings/settings_paths.h"
#include "settings/sms_setting.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <gtest/gtest.h>
#include <random>
#include <tinyxml.h>

namespace fs = std::filesystem;

namespace {

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
    if (pos != std::wstring::npos)
        text.replace(pos, from.size(), to);
    return text;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        // A Chinese folder name checks that the path stays wide on Windows.
        const std::wstring separator(1, fs::path::preferred_separator);
        const std::wstring wideDir =
            fs::temp_directory_path().wstring() + separator + L"velmarin_设置_" + std::to_wstring(random());
        widePath = wideDir + separator + L"velmarin.dat";
        dir = WidePath(wideDir);
        path = WidePath(widePath);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    void WriteBytes(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteXml(const std::wstring& xml) { WriteBytes(EncodeSettingsText(xml)); }
    std::string ReadBytes() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::wstring ReadXml() { return DecodeSettingsText(ReadBytes()); }
    // The saved document, parsed again.
    std::unique_ptr<TiXmlDocument> ReadDoc() {
        auto doc = std::make_unique<TiXmlDocument>();
        EXPECT_TRUE(ParseSettingsXml(ToAnsi(ReadXml()), *doc));
        return doc;
    }
    std::wstring TextAt(TiXmlDocument& doc, const char* key) {
        TiXmlElement* element = FindPath(doc.RootElement(), key);
        EXPECT_NE(element, nullptr) << key;
        return FromAnsi(ElementText(element));
    }
    std::vector<std::wstring> UsersIn(TiXmlDocument& doc) {
        std::vector<std::wstring> users;
        for (TiXmlElement* user : FindList(doc.RootElement(), "//userinfo//userlist", "user"))
            users.push_back(FromAnsi(user->Attribute("name") ? user->Attribute("name") : ""));
        return users;
    }
    std::unique_ptr<CSMSSetting> Loaded(const std::wstring& xml) {
        WriteXml(xml);
        auto settings = std::make_unique<CSMSSetting>(widePath);
        EXPECT_TRUE(settings->Load());
        return settings;
    }

    fs::path dir;
    fs::path path;
    std::wstring widePath;
};

void ExpectDefaults(const CSMSSetting& s) {
    EXPECT_EQ(s.isOpen, 0);
    EXPECT_EQ(s.autoLogin, 0);
    EXPECT_EQ(s.ctrlKey, 1);
    EXPECT_EQ(s.shiftKey, 0);
    EXPECT_EQ(s.codeKey, 'E');
    EXPECT_TRUE(s.appServer.empty());
    EXPECT_TRUE(s.userInfo.userList.empty());
    EXPECT_TRUE(s.updateInfo.fileList.empty());
}

} // namespace

TEST(SettingsPaths, LookupTakesFirstElementChildByExactName) {
    TiXmlDocument doc;
    ASSERT_TRUE(ParseSettingsXml(
        "<r>userinfo<!--userinfo--><UserInfo><a>x</a></UserInfo>"
        "<userinfo><a>first</a><a>second</a></userinfo><userinfo><a>later</a></userinfo></r>",
        doc));
    struct Case {
        const char* key;
        const char* text; // null: nothing found
    } cases[] = {
        {"//userinfo//a", "first"}, {"userinfo//a", "first"},  {"//UserInfo//a", "x"},
        {"//userinfo//b", nullptr}, {"//nothing//a", nullptr}, {"//userinfo////a", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TiXmlElement* found = FindPath(doc.RootElement(), c.key);
        if (!c.text)
            EXPECT_EQ(found, nullptr);
        else
            EXPECT_EQ(ElementText(found), c.text);
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

TEST_F(SettingsFileTest, LoadReadsEveryField) {
    auto s = Loaded(kBaseXml);
    EXPECT_EQ(s->isOpen, 1);
    EXPECT_EQ(s->soundName[0], L"新消息");
    EXPECT_EQ(s->soundPath[0], L"C:\\声音\\新消息.wav");
    EXPECT_EQ(s->soundPath[2], L"c.wav");
    EXPECT_EQ(s->autoLogin, 0);
    EXPECT_EQ(s->allowHotKey, 1);
    EXPECT_EQ(s->ctrlKey, 1);
    EXPECT_EQ(s->shiftKey, 0);
    EXPECT_EQ(s->altKey, 1);
    EXPECT_EQ(s->codeKey, 'Q');
    EXPECT_EQ(s->userInfo.defaultUser, L"05711234567");
    EXPECT_EQ(s->userInfo.defaultPassword, L"密码pw");
    EXPECT_EQ(s->userInfo.userList, (std::vector<std::wstring>{L"05711234567", L"01087654321"}));
    EXPECT_EQ(s->appServer, L"http://127.0.0.1:8080");
    EXPECT_EQ(s->updServer, L"http://127.0.0.1:8081");
    EXPECT_EQ(s->updateInfo.lastVersion, L"1.0.0.2");
    EXPECT_EQ(s->updateInfo.version, L"1.0.0.1");
    EXPECT_EQ(s->updateInfo.adTime, L"Mon, 01 Jan 2024");
    ASSERT_EQ(s->updateInfo.fileList.size(), 1u);
    EXPECT_EQ(s->updateInfo.fileList[0].name, L"Velmarin.exe");
    EXPECT_EQ(s->updateInfo.fileList[0].version, L"1.0.0.1");
}

TEST_F(SettingsFileTest, OnlyExactTrueIsTrue) {
    const std::wstring cases[] = {L"<isopen>True</isopen>",
                                  L"<isopen>TRUE</isopen>",
                                  L"<isopen>1</isopen>",
                                  L"<isopen> true</isopen>",
                                  L"<isopen>true </isopen>",
                                  L"<isopen />",
                                  L"<isopen><!--c-->true</isopen>",
                                  L""};
    for (const std::wstring& isopen : cases) {
        SCOPED_TRACE(ToAnsi(isopen));
        auto s = Loaded(Replace(kBaseXml, L"<isopen>true</isopen>", isopen));
        EXPECT_EQ(s->isOpen, 0);
    }
    auto s = Loaded(Replace(kBaseXml, L"<autologin>false</autologin>", L"<autologin>true</autologin>"));
    EXPECT_EQ(s->autoLogin, 1);
}

TEST_F(SettingsFileTest, NumbersAndKeyCharacter) {
    struct Case {
        std::wstring text;
        int32_t number;
    } numbers[] = {{L"12abc", 12},
                   {L" -3", -3},
                   {L"+7", 7},
                   {L"x1", 0},
                   {L"", 0},
                   {L"99999999999", INT32_MAX},
                   {L"-99999999999", INT32_MIN}};
    for (const Case& c : numbers) {
        SCOPED_TRACE(ToAnsi(c.text));
        auto s = Loaded(Replace(kBaseXml, L"<ctrlkey>1</ctrlkey>", L"<ctrlkey>" + c.text + L"</ctrlkey>"));
        EXPECT_EQ(s->ctrlKey, c.number);
    }
    EXPECT_EQ(Loaded(Replace(kBaseXml, L"<codekey>Q</codekey>", L"<codekey>Ctrl</codekey>"))->codeKey, 'C');
    // An empty key stays empty through a save rather than writing a zero byte.
    auto s = Loaded(Replace(kBaseXml, L"<codekey>Q</codekey>", L"<codekey />"));
    EXPECT_EQ(s->codeKey, '\0');
    ASSERT_TRUE(s->Save());
    EXPECT_NE(ReadXml().find(L"<codekey /></hotkeyset>"), std::wstring::npos);

    s->codeKey = 69;
    ASSERT_TRUE(s->Save());
    auto doc = ReadDoc();
    EXPECT_EQ(TextAt(*doc, "//hotkeyset//codekey"), L"E");
}

TEST_F(SettingsFileTest, UnreadableFilesLoadLikeAMissingOne) {
    CSMSSetting missing(widePath);
    EXPECT_FALSE(missing.Load());
    ExpectDefaults(missing);

    std::string garbage;
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i)
        garbage.push_back(static_cast<char>(random()));
    std::string plainUtf16;
    for (char c : ToAnsi(kBaseXml)) {
        plainUtf16.push_back(c);
        plainUtf16.push_back('\0');
    }
    const std::string cases[] = {
        "",
        garbage,
        plainUtf16,
        EncodeSettingsText(L"not a document"),
        EncodeSettingsText(L"<settings><unclosed></settings>"),
        EncodeSettingsText(kBaseXml.substr(0, kBaseXml.size() / 2)),
        EncodeSettingsText(Replace(kBaseXml, L"<appserver>http://127.0.0.1:8080</appserver>", L"")),
        EncodeSettingsText(Replace(kBaseXml, L"<codekey>Q</codekey>", L"")),
        EncodeSettingsText(Replace(kBaseXml, L"<version>1.0.0.1</version>", L"")),
        EncodeSettingsText(
            Replace(Replace(kBaseXml, L"<hotkeyset>", L"<keys>"), L"</hotkeyset>", L"</keys>")),
        // Readable, but longer than the program reads: cut, it no longer parses.
        EncodeSettingsText(Replace(kBaseXml, L"未知", std::wstring(2000, L'x'))),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(cases[i]);
        CSMSSetting s(widePath);
        EXPECT_FALSE(s.Load());
        ExpectDefaults(s);
        // Nothing loaded, so nothing is written over the file either.
        EXPECT_FALSE(s.Save());
        EXPECT_EQ(ReadBytes(), cases[i]);
    }
}

TEST_F(SettingsFileTest, OptionalKeysMayBeMissing) {
    std::wstring xml = kBaseXml;
    for (const wchar_t* part :
         {L"<soundset><isopen>true</isopen><soundlist>", L"</soundlist></soundset>",
          L"<loginset><autologin>false</autologin></loginset>", L"<allowhotkey>1</allowhotkey>"})
        xml = Replace(xml, part, L"");
    xml = Replace(xml, L"<file name=\"新消息\"", L"<sound name=\"新消息\"");
    xml = Replace(xml, L"<file name=\"b\"", L"<sound name=\"b\"");
    xml = Replace(xml, L"<file name=\"c\"", L"<sound name=\"c\"");
    xml = Replace(xml, L"<filelist>", L"<files>");
    xml = Replace(xml, L"</filelist>", L"</files>");
    auto s = Loaded(xml);
    EXPECT_EQ(s->isOpen, 0);
    EXPECT_TRUE(s->soundPath[0].empty());
    EXPECT_TRUE(s->updateInfo.fileList.empty());

    // Keys save writes unconditionally are made; sound on is only ever replaced.
    s->autoLogin = 1;
    s->allowHotKey = 3;
    s->isOpen = 1;
    ASSERT_TRUE(s->Save());
    CSMSSetting again(widePath);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.autoLogin, 1);
    EXPECT_EQ(again.allowHotKey, 3);
    EXPECT_EQ(again.isOpen, 0);
}

TEST_F(SettingsFileTest, StoredPasswordFollowsAutoLogin) {
    struct Case {
        SettingBool autoLogin;
        std::wstring password;
        std::wstring stored;
        std::wstring inMemory;
    } cases[] = {
        {0, L"", L"密码pw", L""},
        {0, L"new", L"密码pw", L"new"},
        {1, L"", L"737373", L"737373"},
        {1, L"新密码", L"新密码", L"新密码"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.autoLogin);
        auto s = Loaded(kBaseXml);
        s->autoLogin = c.autoLogin;
        s->userInfo.defaultPassword = c.password;
        ASSERT_TRUE(s->Save());
        EXPECT_EQ(s->userInfo.defaultPassword, c.inMemory);
        auto doc = ReadDoc();
        EXPECT_EQ(TextAt(*doc, "//userinfo//defaultuser//userpwd"), c.stored);
        EXPECT_EQ(TextAt(*doc, "//loginset//autologin"), c.autoLogin ? L"true" : L"false");
    }
}

TEST_F(SettingsFileTest, EmptyDefaultUserLeavesStoredOne) {
    auto s = Loaded(kBaseXml);
    s->userInfo.defaultUser.clear();
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(TextAt(*ReadDoc(), "//userinfo//defaultuser//username"), L"05711234567");

    s = Loaded(Replace(kBaseXml, L"<username>05711234567</username>", L"<username />"));
    s->userInfo.defaultUser = L"02088889999";
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(TextAt(*ReadDoc(), "//userinfo//defaultuser//username"), L"02088889999");
}

TEST_F(SettingsFileTest, UserListIsRewrittenInOrder) {
    auto s =
        Loaded(Replace(kBaseXml, L"<user name=\"01087654321\" />",
                       L"<note>n</note><user name=\"a\" /><user name=\"b\" /><user name=\"c\" /><user />"));
    EXPECT_EQ(s->userInfo.userList.size(), 5u);
    s->userInfo.userList = {L"03", L"01", L"02"};
    ASSERT_TRUE(s->Save());
    auto doc = ReadDoc();
    EXPECT_EQ(UsersIn(*doc), s->userInfo.userList);
    // Other children of the list stay; the numbers go after them.
    EXPECT_NE(
        ReadXml().find(L"<userlist><note>n</note><user name=\"03\" /><user name=\"01\" /><user name=\"02\" />"
                       L"</userlist>"),
        std::wstring::npos);

    s->userInfo.userList.clear();
    ASSERT_TRUE(s->Save());
    EXPECT_TRUE(UsersIn(*ReadDoc()).empty());
}

TEST_F(SettingsFileTest, OnlyThreeSoundsAreTouched) {
    auto s = Loaded(Replace(kBaseXml, L"</soundlist>", L"<file name=\"d\" path=\"d.wav\" /></soundlist>"));
    EXPECT_EQ(s->soundPath[2], L"c.wav");
    s->soundPath = {L"D:\\铃声\\1.wav", L"2.wav", L"3.wav"};
    s->soundName[0] = L"ignored";
    ASSERT_TRUE(s->Save());
    EXPECT_NE(ReadXml().find(
                  L"<soundlist><file name=\"新消息\" path=\"D:\\铃声\\1.wav\" /><file name=\"b\" "
                  L"path=\"2.wav\" /><file name=\"c\" path=\"3.wav\" /><file name=\"d\" path=\"d.wav\" />"),
              std::wstring::npos);
}

TEST_F(SettingsFileTest, UnchangedLoadSaveKeepsTheDocument) {
    auto s = Loaded(kBaseXml);
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(ReadXml(), kBaseXml);

    // Changed values come back through the file, Chinese included.
    s->appServer = L"http://服务器:8080";
    s->updateInfo.adTime = L"";
    s->updateInfo.lastVersion = L"1.0.0.3";
    s->isOpen = 0;
    s->userInfo.userList.push_back(L"075512345678");
    ASSERT_TRUE(s->Save());
    CSMSSetting again(widePath);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.appServer, L"http://服务器:8080");
    EXPECT_EQ(again.updateInfo.adTime, L"");
    EXPECT_EQ(again.updateInfo.lastVersion, L"1.0.0.3");
    EXPECT_EQ(again.isOpen, 0);
    EXPECT_EQ(again.userInfo.userList, s->userInfo.userList);
    EXPECT_NE(ReadXml().find(L"<extra mode=\"keep\">未知<inner /></extra>"), std::wstring::npos);
}

TEST_F(SettingsFileTest, SecondLoadReplacesTheLists) {
    auto s = Loaded(kBaseXml);
    WriteXml(Replace(kBaseXml, L"<user name=\"05711234567\" />", L""));
    ASSERT_TRUE(s->Load());
    EXPECT_EQ(s->userInfo.userList, std::vector<std::wstring>{L"01087654321"});
    EXPECT_EQ(s->updateInfo.fileList.size(), 1u);
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileAndNeverCreatesOne) {
    auto s = Loaded(kBaseXml);
    // A longer old file: nothing of its tail may survive.
    WriteBytes(std::string(4800, 'A'));
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(ReadXml(), kBaseXml);
    EXPECT_EQ(ReadBytes().size(), EncodeSettingsText(kBaseXml).size());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "temporary file left";

    fs::remove(path);
    EXPECT_FALSE(s->Save());
    EXPECT_FALSE(fs::exists(path));

    fs::create_directory(path);
    EXPECT_FALSE(s->Save());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "temporary file left";
}

TEST_F(SettingsFileTest, LongUserListDropsOldestNumbersToFit) {
    auto s = Loaded(kBaseXml);
    std::vector<std::wstring> users;
    for (int i = 0; i < 200; ++i)
        users.push_back(L"0571" + std::to_wstring(1000000 + i));
    s->userInfo.userList = users;
    s->userInfo.defaultUser = users[1];
    ASSERT_TRUE(s->Save());
    EXPECT_LE(ReadBytes().size(), kSettingsFileMaxBytes);

    CSMSSetting again(widePath);
    ASSERT_TRUE(again.Load());
    const std::vector<std::wstring>& kept = again.userInfo.userList;
    EXPECT_EQ(kept, s->userInfo.userList);
    ASSERT_GT(kept.size(), 10u);
    ASSERT_LT(kept.size(), users.size());
    // The default user and the newest numbers stay, in their order.
    EXPECT_EQ(kept.front(), users[1]);
    EXPECT_TRUE(std::equal(kept.begin() + 1, kept.end(), users.end() - (kept.size() - 1)));
    // Exactly as many as fit: one more would not.
    EXPECT_GT(
        EncodeSettingsText(Replace(ReadXml(), L"<userlist>", L"<userlist><user name=\"05711000000\" />"))
            .size(),
        kSettingsFileMaxBytes);
}

TEST_F(SettingsFileTest, DocumentThatCannotFitKeepsTheOldFile) {
    auto s = Loaded(kBaseXml);
    const std::string before = ReadBytes();
    s->appServer = L"http://" + std::wstring(2000, L'h');
    EXPECT_FALSE(s->Save());
    EXPECT_EQ(ReadBytes(), before);
    EXPECT_EQ(s->userInfo.userList.size(), 2u);
}

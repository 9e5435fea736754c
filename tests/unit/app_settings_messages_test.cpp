// The settings file, the placeholders it defines, and the message layer
// that every loaded string passes through.
#include <cstring>

#include "app/messages.h"
#include "product_fixture.h"
#include "res/resource.h"

namespace {

class SettingsTest : public ProductTest {
protected:
    void WriteSettings(const std::string& body) { m.files.writeFile(ProgramFolder() + "210QX_USB.ini", body); }
    std::string Message17300() {
        char text[kMessageTextSize] = {};
        LoadResString(IDS_MSG_NOT_ADMINISTRATOR, text, sizeof(text));
        return winsim::acpToUtf8(text);
    }
};

TEST_F(SettingsTest, WithoutAFileTheBuiltInNamesApply) {
    InitContext();
    EXPECT_STREQ(context_.szSeries, "3G");
    EXPECT_STREQ(context_.szCategory, "210QX USB Driver");
    EXPECT_STREQ(context_.szIconPath, "");
    EXPECT_EQ(Message17300().rfind("210QX USB Driver Installer", 0), 0u);
}

TEST_F(SettingsTest, EmptyValuesGiveTheDefaultsAndLongValuesAreCut) {
    WriteSettings("[UsbInst]\r\nNAME=\r\nNAME2=" + std::string(40, 'C') + "\r\n");
    InitContext();
    EXPECT_STREQ(context_.szSeries, "3G");
    EXPECT_EQ(std::string(context_.szCategory), std::string(32, 'C'));
}

TEST_F(SettingsTest, OnlyTheFileBesideTheProgramIsRead) {
    m.files.writeFile("C:\\210QX_USB.ini", "[UsbInst]\r\nNAME=Elsewhere\r\n");
    m.files.writeFile("C:\\WINDOWS\\210QX_USB.ini", "[UsbInst]\r\nNAME=Windows\r\n");
    InitContext();
    EXPECT_STREQ(context_.szSeries, "3G");
}

TEST_F(SettingsTest, WithTheProgramFolderUnknownNoFileIsReadAndNoIconNamed) {
    // A bare file name would be looked for in the Windows folder, a bare
    // icon value in the current folder.
    m.files.writeFile("C:\\WINDOWS\\210QX_USB.ini", "[UsbInst]\r\nNAME=Windows\r\nICON=phone.ico\r\n");
    m.files.writeFile("C:\\WINDOWS\\phone.ico", "ICO");
    m.files.writeFile(ProgramFolder() + "phone.ico", "ICO");
    WriteSettings("[UsbInst]\r\nNAME=Beside\r\nICON=phone.ico\r\n");
    m.faults.fail("GetModuleFileNameA", ERROR_NOT_ENOUGH_MEMORY);
    InitContext();
    EXPECT_STREQ(context_.szModuleDir, "");
    EXPECT_STREQ(context_.szSeries, "3G");
    EXPECT_STREQ(context_.szCategory, "210QX USB Driver");
    EXPECT_STREQ(context_.szIconPath, "");
}

TEST_F(SettingsTest, IconMustNameAnExistingFileRelativeToTheProgramFolder) {
    m.files.writeFile(ProgramFolder() + "icons\\phone.ico", "ICO");
    m.files.createDirectory(ProgramFolder() + "folder.ico");
    const struct {
        const char* value;
        bool found;
    } rows[] = {{"icons\\phone.ico", true}, {"folder.ico", false}, {"missing.ico", false}};
    for (const auto& row : rows) {
        WriteSettings(std::string("[UsbInst]\r\nICON=") + row.value + "\r\n");
        g_placeholders.Clear();
        InitContext();
        if (row.found)
            EXPECT_EQ(winsim::acpToUtf8(context_.szIconPath), ProgramFolder() + row.value);
        else
            EXPECT_STREQ(context_.szIconPath, "") << row.value;
    }
}

TEST_F(SettingsTest, AnIconPathLongerThanAPathBufferNamesNoIcon) {
    // Folder and value together exceed 260 characters: no icon, no overrun.
    WriteSettings("[UsbInst]\r\nICON=" + std::string(250, 'i') + ".ico\r\n");
    InitContext();
    EXPECT_STREQ(context_.szIconPath, "");
}

TEST_F(SettingsTest, PlaceholdersAreReplacedInRegistrationOrder) {
    // The category's "<%SERIES%>" stays: the series pair was applied before
    // the category value was inserted. The series' "<%CATEGORY%>" is replaced.
    WriteSettings("[UsbInst]\r\nNAME=S<%CATEGORY%>\r\nNAME2=C<%SERIES%>\r\n");
    InitContext();
    EXPECT_EQ(Message17300().rfind("C<%SERIES%> Installer", 0), 0u);
}

TEST_F(SettingsTest, AValueHoldingItsOwnPlaceholderIsInsertedOnce) {
    WriteSettings("[UsbInst]\r\nNAME2=x<%CATEGORY%>y\r\n");
    InitContext();
    EXPECT_EQ(Message17300().rfind("x<%CATEGORY%>y Installer", 0), 0u);
}

TEST_F(SettingsTest, PercentSignsOfAValueReachTheMessageLiterally) {
    m.system.setJapanese();
    WriteSettings("[UsbInst]\r\nNAME2=100%s %d %%\r\n");
    InitContext();
    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, NotAdministratorText("100%s %d %%"));
}

TEST_F(SettingsTest, JapaneseCategoryUnderCodePage932) {
    m.system.setJapanese();
    WriteSettings(winsim::utf8ToAcp("[UsbInst]\r\nNAME2=表示ソフト\r\n"));
    InitContext();
    ShowInfoMessage(nullptr, IDS_MSG_NOT_ADMINISTRATOR);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, NotAdministratorText("表示ソフト"));
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "210QX USB Driver");
}

class MessagesTest : public ProductTest {};

TEST_F(MessagesTest, LoadResStringReportsTheStoredLengthAndCutsAtACharacterBoundary) {
    InitContext();
    char text[64] = {};
    EXPECT_EQ(LoadResString(IDS_PLACEHOLDER_CATEGORY, text, sizeof(text)), 12);
    EXPECT_STREQ(text, "210QX USB Driver");  // replaced, longer than stored
    EXPECT_EQ(LoadResString(12345, text, sizeof(text)), 0);

}

TEST_F(MessagesTest, ASubstitutedTextLongerThanItsBufferIsCutAtACharacterBoundary) {
    m.system.setJapanese();
    InitContext();
    // 29 bytes hold "<%CATEGORY%> Installer" and part of what follows; the
    // substituted text is longer and is cut before the character that
    // would not fit whole, then terminated.
    char text[30];
    std::memset(text, 'X', sizeof(text));
    LoadResString(IDS_MSG_NOT_ADMINISTRATOR, text, sizeof(text));
    EXPECT_EQ(winsim::acpToUtf8(text), "210QX USB Driver Installerを");
}

TEST_F(MessagesTest, SubstitutionNeverSplitsADoubleByteCharacter) {
    m.system.setJapanese();
    InitContext();
    // 17100 begins with double-byte characters: a buffer of 6 bytes holds
    // two of them and the terminator, never half of the third.
    char text[6];
    std::memset(text, 'X', sizeof(text));
    LoadResString(IDS_MSG_INSTALL_FAILED, text, sizeof(text));
    EXPECT_EQ(winsim::acpToUtf8(text), "お使");
}

TEST_F(MessagesTest, SystemErrorShowsTheSystemTextUnderTheCaptionError) {
    InitContext();
    ShowSystemError(ERROR_ACCESS_DENIED);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[0].style, (UINT)MB_ICONERROR);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, "Access is denied.\r\n");
    EXPECT_TRUE(m.handles.localAllocations.empty());
}

TEST_F(MessagesTest, SetupApiCodesAreShownWithTheirText) {
    InitContext();
    ShowSystemError(ERROR_NO_CATALOG_FOR_OEM_INF);
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_NE(m.ui.boxes[0].textUtf8.find("digital signature"), std::string::npos) << m.ui.boxes[0].textUtf8;
}

TEST_F(MessagesTest, ACodeWithoutTextIsShownAsItsNumber) {
    InitContext();
    ShowSystemError(0x12345);
    ShowSystemError(0xE0000FFF);
    ASSERT_EQ(m.ui.boxes.size(), 2u);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, "0x00012345");
    EXPECT_EQ(m.ui.boxes[1].textUtf8, "0xE0000FFF");
}

}  // namespace

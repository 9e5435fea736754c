// Path and text helpers, with Shift-JIS strings whose trail byte is the
// backslash (表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932).
#include <cstring>

#include "product_fixture.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"
#include "sysaccess/system_folders.h"

namespace {

const char kHyo[] = "\x95\x5c";  // 表
const char kSo[] = "\x83\x5c";   // ソ

class PathTextTest : public ProductTest {
protected:
    void SetUp() override {
        m.system.setJapanese();
        InitContext();
    }
};

TEST_F(PathTextTest, ByteTypesFollowTheCodePage) {
    const std::string text = std::string("a") + kHyo + "\\";
    EXPECT_EQ(GetByteType(text.c_str(), 0), SingleByte);
    EXPECT_EQ(GetByteType(text.c_str(), 1), LeadByte);
    EXPECT_EQ(GetByteType(text.c_str(), 2), TrailByte);
    EXPECT_EQ(GetByteType(text.c_str(), 3), SingleByte);
    EXPECT_EQ(GetByteType(text.c_str(), -1), SingleByte);

    m.system.acp = 1252;  // on a single-byte code page every byte is single
    EXPECT_EQ(GetByteType(text.c_str(), 2), SingleByte);
}

TEST_F(PathTextTest, CopyAndAppendNeverSplitADoubleByteCharacter) {
    const std::string source = std::string("ab") + kSo;  // 4 bytes
    char dest[8];
    std::memset(dest, 'X', sizeof(dest));
    int length = -1;
    EXPECT_EQ(CopyStringLimited(dest, source.c_str(), 3, &length), 0);
    EXPECT_STREQ(dest, "ab");
    EXPECT_EQ(length, 2);
    EXPECT_EQ(CopyStringLimited(dest, source.c_str(), 4, &length), 1);
    EXPECT_EQ(std::string(dest), source);

    char buffer[8] = "x";
    EXPECT_EQ(AppendStringLimited(buffer, kHyo, 2, &length), 0);
    EXPECT_STREQ(buffer, "x");
    EXPECT_EQ(AppendStringLimited(buffer, kHyo, 3, &length), 1);
    EXPECT_EQ(length, 3);

    char full[8] = "abc";
    EXPECT_EQ(AppendStringLimited(full, "d", 3), 0);
    EXPECT_STREQ(full, "abc");
}

TEST_F(PathTextTest, BackslashRulesKeepRootsAndDoubleByteTrailBytes) {
    char path[kPathBufferSize] = "C:\\WINDOWS";
    EXPECT_EQ(AddBackslash(path, kPathBufferSize), 1);
    EXPECT_STREQ(path, "C:\\WINDOWS\\");
    EXPECT_EQ(AddBackslash(path, kPathBufferSize), 0);
    char empty[4] = "";
    EXPECT_EQ(AddBackslash(empty, sizeof(empty)), 0);
    char full[4] = "abc";
    EXPECT_EQ(AddBackslash(full, sizeof(full)), 0);
    EXPECT_STREQ(full, "abc");

    char inf[] = "C:\\WINDOWS\\INF\\";
    EXPECT_EQ(RemoveBackslash(inf), 1);
    EXPECT_STREQ(inf, "C:\\WINDOWS\\INF");
    char root[] = "C:\\";
    EXPECT_EQ(RemoveBackslash(root), 1);
    EXPECT_STREQ(root, "C:\\");
    char plain[] = "C:\\WINDOWS";
    EXPECT_EQ(RemoveBackslash(plain), 0);

    // "C:\表" ends in the trail byte 0x5C, which is not a backslash.
    std::string hyo = std::string("C:\\") + kHyo;
    EXPECT_EQ(RemoveBackslash(&hyo[0]), 0);
    EXPECT_EQ(hyo, std::string("C:\\") + kHyo);
    // "C:\表\" keeps its backslash: the character before it is double-byte.
    std::string hyoSlash = std::string("C:\\") + kHyo + "\\";
    EXPECT_EQ(RemoveBackslash(&hyoSlash[0]), 1);
    EXPECT_EQ(hyoSlash, std::string("C:\\") + kHyo + "\\");
}

TEST_F(PathTextTest, AddBackslashFollowsAFolderNameThatEndsInTheTrailByte0x5C) {
    // "C:\表" ends in a double-byte character whose second byte is 0x5C: it
    // needs its backslash like any folder name (found by the path_text fuzz
    // target).
    std::string hyo = std::string("C:\\") + kHyo;
    char path[kPathBufferSize] = {};
    std::strcpy(path, hyo.c_str());
    EXPECT_EQ(AddBackslash(path, kPathBufferSize), 1);
    EXPECT_EQ(std::string(path), hyo + "\\");
    EXPECT_EQ(AddBackslash(path, kPathBufferSize), 0);
    EXPECT_EQ(std::string(path), hyo + "\\");
}

TEST_F(PathTextTest, ReplaceExtensionFindsTheLastSingleByteDot) {
    char oem[kPathBufferSize] = "C:\\WINDOWS\\INF\\oem12.inf";
    EXPECT_EQ(ReplaceExtension(oem, ".PNF", kPathMaxChars), 1);
    EXPECT_STREQ(oem, "C:\\WINDOWS\\INF\\oem12.PNF");
    char dotted[kPathBufferSize] = "C:\\dir.d\\name";
    ReplaceExtension(dotted, ".PNF", kPathMaxChars);
    EXPECT_STREQ(dotted, "C:\\dir.PNF");
    char bare[kPathBufferSize] = "name";
    ReplaceExtension(bare, ".PNF", kPathMaxChars);
    EXPECT_STREQ(bare, "name.PNF");
    char empty[kPathBufferSize] = "";
    EXPECT_EQ(ReplaceExtension(empty, ".PNF", kPathMaxChars), 0);
    // Trail bytes are stepped over whole: ソ. is "\x83\x5c." and the dot is found.
    std::string japanese = std::string("C:\\") + kSo + ".inf";
    char buffer[kPathBufferSize] = {};
    std::strcpy(buffer, japanese.c_str());
    ReplaceExtension(buffer, ".PNF", kPathMaxChars);
    EXPECT_EQ(std::string(buffer), std::string("C:\\") + kSo + ".PNF");
}

TEST_F(PathTextTest, AppendResStringLeavesRoomForTheTerminator) {
    char buffer[kPathBufferSize];
    std::memset(buffer, 'a', 260);
    buffer[260] = '\0';
    EXPECT_EQ(AppendResString(IDS_PATH_INF, buffer, kPathBufferSize), 0);
    EXPECT_EQ(std::strlen(buffer), 260u);

    buffer[256] = '\0';  // room for three more characters: at most 259 in all
    EXPECT_EQ(AppendResString(IDS_PATH_INF, buffer, kPathBufferSize), 259);
    EXPECT_EQ(std::string(buffer + 256), "\\IN");

    char folder[kPathBufferSize] = "C:";
    EXPECT_EQ(AppendResString(99999, folder, kPathBufferSize), 2);  // unknown ID appends nothing
}

TEST_F(PathTextTest, SystemFoldersFollowTheWindowsFolder) {
    char out[kPathBufferSize];
    ASSERT_EQ(GetDriversDir(out), 1);
    EXPECT_STREQ(out, "C:\\WINDOWS\\SYSTEM32\\DRIVERS");
    ASSERT_EQ(GetLastGoodDriversDir(out), 1);
    EXPECT_STREQ(out, "C:\\WINDOWS\\LastGood\\SYSTEM32\\DRIVERS");
    ASSERT_EQ(GetInfDir(out), 1);
    EXPECT_STREQ(out, "C:\\WINDOWS\\INF");
    ASSERT_EQ(GetLastGoodInfDir(out), 1);
    EXPECT_STREQ(out, "C:\\WINDOWS\\LastGood\\INF");

    m.faults.fail("GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetInfDir(out), 0);
}

TEST_F(PathTextTest, ASystemFolderWhoseNameDoesNotLoadIsNoFolder) {
    // Without its "\\SYSTEM32\\DRIVERS" the drivers folder would be the
    // Windows folder, where files named like the phone's drivers belong to
    // someone else.
    char out[kPathBufferSize] = "unchanged";
    auto failStringLoad = [&](int nth) {
        m.faults.clear();
        m.faults.fail("LoadStringA", ERROR_RESOURCE_NAME_NOT_FOUND, nth);
    };
    failStringLoad(0);
    EXPECT_EQ(GetDriversDir(out), 0);
    failStringLoad(1);  // "\\SYSTEM32\\DRIVERS" after "\\LastGood"
    EXPECT_EQ(GetLastGoodDriversDir(out), 0);
    failStringLoad(0);
    EXPECT_EQ(GetInfDir(out), 0);
}

TEST_F(PathTextTest, RemoveFileDeletesReadOnlyFilesAndAcceptsAbsentOnes) {
    m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\qtx0mdm.sys", "driver");
    m.files.setAttributes("C:\\WINDOWS\\system32\\drivers\\qtx0mdm.sys", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RemoveFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\qtx0mdm.sys"), 1);
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\system32\\drivers\\qtx0mdm.sys"));
    EXPECT_EQ(RemoveFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\qtx0mdm.sys"), 1);
    EXPECT_EQ(RemoveFile("C:\\NoSuchFolder\\qtx0mdm.sys"), 0);

    m.files.writeFile("C:\\WINDOWS\\INF\\oem3.inf", "inf");
    m.files.setInUse("C:\\WINDOWS\\INF\\oem3.inf");
    EXPECT_EQ(RemoveFile("C:\\WINDOWS\\INF\\oem3.inf"), 0);
    EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\INF\\oem3.inf"));
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::FindSearch), 0u);
}

TEST_F(PathTextTest, RemoveFileLeavesAFolderOfThatNameAsItWas) {
    const char folder[] = "C:\\WINDOWS\\system32\\drivers\\qtx0wh.sys";
    m.files.writeFile(std::string(folder) + "\\inside.txt", "x");
    m.files.setAttributes(folder, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(RemoveFile(folder), 0);
    EXPECT_EQ(m.files.attributes(folder), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(m.files.exists(std::string(folder) + "\\inside.txt"));
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::FindSearch), 0u);
}

TEST_F(PathTextTest, FileAndDirectoryTests) {
    m.files.writeFile("C:\\data\\file.txt", "x");
    EXPECT_EQ(IsFile("C:\\data\\file.txt"), 1);
    EXPECT_EQ(IsDirectory("C:\\data\\file.txt"), 0);
    EXPECT_EQ(IsDirectory("C:\\data"), 1);
    EXPECT_EQ(IsFile("C:\\data"), 0);
    EXPECT_EQ(IsFile("C:\\data\\missing"), 0);
    EXPECT_EQ(IsDirectory("C:\\data\\missing"), 0);
}

class ModuleFolderTest : public ProductTest {};

TEST_F(ModuleFolderTest, ProgramFolderKeepsItsBackslashAndIsNotCutAtATrailByte) {
    m.system.setJapanese();
    m.modules.programPath = "C:\\表\\USB\\210QX_USB.exe";
    InitContext();
    EXPECT_EQ(winsim::acpToUtf8(context_.szModuleDir), "C:\\表\\USB\\");

    m.modules.programPath = "C:\\ソ\\setup.exe";
    char folder[kPathBufferSize];
    ASSERT_EQ(GetModuleFolder(folder, kPathBufferSize), 1);
    EXPECT_EQ(winsim::acpToUtf8(folder), "C:\\ソ\\");

    m.modules.programPath = "C:\\Tools\\setup.exe";
    ASSERT_EQ(GetModuleFolder(folder, kPathBufferSize), 1);
    EXPECT_STREQ(folder, "C:\\Tools\\");
}

TEST_F(ModuleFolderTest, AProgramPathThatDoesNotFitGivesNoFolder) {
    InitContext();
    char folder[16];
    EXPECT_EQ(GetModuleFolder(folder, sizeof(folder)), 0);
    EXPECT_STREQ(folder, "");
    m.faults.fail("GetModuleFileNameA", ERROR_NOT_ENOUGH_MEMORY);
    char full[kPathBufferSize];
    EXPECT_EQ(GetModuleFolder(full, kPathBufferSize), 0);
    EXPECT_STREQ(full, "");
}

}  // namespace

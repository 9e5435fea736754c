#include "product_fixture.h"

#include "app/product_settings.h"
#include "res/resource.h"

const char* const kInstallFailedText =
    "お使いのパソコンにUSBドライバを設定することができません。\n"
    "インストールプログラムを終了した後、USBドライバを正しくインストールするための詳しい情報につき、"
    "マニュアルを参照してください。";

std::string NotAdministratorText(const std::string& category) {
    return category +
           " Installerを実行する前に、お使いのパソコンに管理者権限でログオンしているか確認してください。\n"
           "確認ができたら、\"OK\"をクリックしてください。";
}

ProductTest::ProductTest() {
    m.modules.setProgramStrings(kProgramStrings, kProgramStringsCount);
    g_placeholders.Clear();
    g_pAppContext = nullptr;
}

void ProductTest::TearDown() {
    for (const std::string& call : m.unimplemented) ADD_FAILURE() << "reached a call winsim does not model: " << call;
}

int ProductTest::RunProgram(const char* commandLine) {
    g_placeholders.Clear();
    std::string line = commandLine;
    return WinMain(m.modules.programInstance, nullptr, &line[0], SW_SHOWNORMAL);
}

void ProductTest::InitContext() {
    InitAppContext(m.modules.programInstance, &context_, IDS_PRODUCT_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    LoadProductSettings();
}

std::string ProductTest::ProgramFolder() const {
    const std::string& path = m.modules.programPath;
    return path.substr(0, path.rfind('\\') + 1);
}

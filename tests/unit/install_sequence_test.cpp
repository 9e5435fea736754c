// The install sequence: staging, metadata on Windows 7 and later, and the
// install flag after an explicit install.
#include "app/environment.h"
#include "earlier_installation.h"
#include "install/install_sequence.h"
#include "product_fixture.h"

namespace {

using seeded::kMetadataJaJp;
using seeded::ProductKey;

class InstallSequenceTest : public ProductTest {
protected:
    void SetUp() override {
        m.system.setJapanese();
        seeded::LayOutMedia(m);
        m.registry.createKey(ProductKey(m));
        m.registry.setDword(ProductKey(m), "InstallFlag", 0);
        InitContext();
    }
    size_t Staged() { return m.driverStore.published(m.files).size(); }
    bool MetadataDeployed() const {
        return m.files.exists(std::string(kMetadataJaJp) + "\\" + seeded::kMetadataPackages[2]);
    }
    std::optional<DWORD> Flag() const { return m.registry.dword(ProductKey(m), "InstallFlag"); }
};

TEST_F(InstallSequenceTest, OldSystemsAreRefusedWithoutTouchingAnything) {
    for (int code : {OS_WIN95, OS_WIN98, OS_WINME, OS_NT_OTHER}) {
        EXPECT_EQ(RunInstallSequence(code, 1), 0);
        EXPECT_EQ(Staged(), 0u);
        EXPECT_FALSE(MetadataDeployed());
        EXPECT_EQ(Flag(), std::optional<DWORD>(0));
    }
}

TEST_F(InstallSequenceTest, UpToVistaOnlyTheInfFilesAreStaged) {
    m.system.setVista();
    EXPECT_EQ(RunInstallSequence(OS_VISTA, 0), 1);
    EXPECT_EQ(Staged(), 3u);
    EXPECT_FALSE(MetadataDeployed());
    EXPECT_EQ(Flag(), std::optional<DWORD>(0));  // a default install records nothing
}

TEST_F(InstallSequenceTest, Windows7AlsoDeploysTheMetadataAndAnExplicitInstallIsRecorded) {
    m.registry.setDword(seeded::kProductKey64, "InstallFlag", 0);  // another program's key
    EXPECT_EQ(RunInstallSequence(OS_WIN7, 1), 1);
    EXPECT_EQ(Staged(), 3u);
    EXPECT_TRUE(MetadataDeployed());
    EXPECT_EQ(Flag(), std::optional<DWORD>(1));
    EXPECT_EQ(m.registry.dword(seeded::kProductKey64, "InstallFlag"), std::optional<DWORD>(0));
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::RegistryKey), 0u);
}

TEST_F(InstallSequenceTest, AFailedMetadataDeploymentDoesNotFailTheInstall) {
    m.files.remove("C:\\Program Files\\210QX\\metadata");
    EXPECT_EQ(RunInstallSequence(OS_WIN7, 1), 1);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(Flag(), std::optional<DWORD>(1));
}

TEST_F(InstallSequenceTest, AFailedStagingRecordsNothingAndDeploysNothing) {
    m.files.remove("C:\\Program Files\\210QX\\Drivers\\qtx0obx2.inf");
    EXPECT_EQ(RunInstallSequence(OS_WIN7, 1), 0);
    EXPECT_FALSE(MetadataDeployed());
    EXPECT_EQ(Flag(), std::optional<DWORD>(0));
}

TEST_F(InstallSequenceTest, WithoutTheProductKeyNothingIsWritten) {
    m.registry.deleteKey(ProductKey(m));
    m.registry.createKey(seeded::kProductKey64);  // in the 64-bit view: not the product's
    EXPECT_EQ(RunInstallSequence(OS_WIN7, 1), 1);
    EXPECT_FALSE(m.registry.keyExists(ProductKey(m)));
    EXPECT_FALSE(m.registry.value(seeded::kProductKey64, "InstallFlag"));
}

}  // namespace

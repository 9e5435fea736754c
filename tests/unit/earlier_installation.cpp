#include "earlier_installation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace seeded {

const std::vector<std::string> kPhoneDevices = {
    "USB\\VID_1A2B&PID_3C4D\\5&2F0A1B3C&0&1",
    "USB\\VID_1A2B&PID_3C4D&MI_00\\6&11A22B33&0&0000",
    "USB\\VID_1A2B&PID_3C4D&MI_03\\6&11A22B33&0&0003",
};
const std::vector<std::string> kPhoneDriverFiles = {"qtx0bus.sys",  "qtx0cm.sys",   "qtx0cmnt.sys", "qtx0mdfl.sys",
                                                    "qtx0mdm.sys",  "qtx0obex.sys", "qtx0wh.sys",   "qtx0whnt.sys"};
const std::vector<std::string> kPhoneServices = {"qtx0bus", "qtx0mdm", "qtx0mdfl", "qtx0obex"};
const std::vector<std::string> kMetadataPackages = {
    "5B7E1C20-3A44-4D1F-9C2E-6A0B8F3D2E11.devicemetadata-ms",
    "7C1D9E42-0B6F-4A83-8E15-2F4C6D8A1B93.devicemetadata-ms",
    "A4E2F0C8-6D1B-4F27-B3A9-91C5E7D0F346.devicemetadata-ms",
};

namespace {

const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

std::string ProgramParent(const winsim::Machine& m) {
    std::string folder = m.modules.programPath.substr(0, m.modules.programPath.rfind('\\'));
    return folder.substr(0, folder.rfind('\\'));
}

// An INF of another vendor, or one that names the phone where the
// product's test does not look.
std::string ForeignInf(const std::string& firstModelLine, const std::string& secondModelLine = "") {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\nProvider=Other\r\n\r\n"
           "[Manufacturer]\r\nOther=Vantor_wmc\r\n\r\n[Vantor_wmc]\r\n" +
           firstModelLine + "\r\n" + (secondModelLine.empty() ? "" : secondModelLine + "\r\n");
}

}  // namespace

std::string Software32(const winsim::Machine& m, const std::string& below) {
    return std::string(m.system.windows64 ? "HKLM\\SOFTWARE\\Wow6432Node\\" : "HKLM\\SOFTWARE\\") + below;
}

std::string ProductKey(const winsim::Machine& m) { return Software32(m, "VANTOR\\VANTOR 3G USB Driver 210QX"); }

std::string MediaFile(const std::string& relative) {
    std::string host = std::string(MEDIA_DIR) + "/" + relative;
    for (char& c : host)
        if (c == '\\') c = '/';
    std::ifstream in(host, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void LayOutMedia(winsim::Machine& m) {
    const std::string parent = ProgramParent(m);
    m.files.importHostTree(std::string(MEDIA_DIR) + "/Drivers", parent + "\\Drivers");
    m.files.importHostTree(std::string(MEDIA_DIR) + "/metadata", parent + "\\metadata");
}

EarlierInstallation SeedEarlierInstallation(winsim::Machine& m, bool xp) {
    EarlierInstallation seeded;
    const char* infs[] = {"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"};
    for (const char* inf : infs) {
        const std::string content = MediaFile(std::string("Drivers/") + inf);
        seeded.publishedPackages.push_back(m.driverStore.seed(m.files, kInfDir, inf, content));
    }
    // Each function's driver key records the package Windows installed it from.
    m.devices.add({kPhoneDevices[0], {"USB\\VID_1A2B&PID_3C4D&REV_0100", "USB\\VID_1A2B&PID_3C4D"}, false,
                   kUsbClass, "USB", std::string(kUsbClass) + "\\0007", seeded.publishedPackages[0]});
    m.devices.add({kPhoneDevices[1], {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00", "USB\\VID_1A2B&PID_3C4D&MI_00"},
                   false, kModemClass, "Modem", std::string(kModemClass) + "\\0002", seeded.publishedPackages[2]});
    m.devices.add({kPhoneDevices[2], {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_03", "USB\\VID_1A2B&PID_3C4D&MI_03"},
                   false, kModemClass, "Modem", std::string(kModemClass) + "\\0001", seeded.publishedPackages[1]});

    for (const std::string& service : kPhoneServices)
        m.services.add({service, 1, 3, 1, "System32\\DRIVERS\\" + service + ".sys", false});

    for (const std::string& file : kPhoneDriverFiles) {
        m.files.writeFile(std::string(kDriversDir) + "\\" + file, "driver " + file);
        if (xp) m.files.writeFile("C:\\WINDOWS\\LastGood\\system32\\drivers\\" + file, "last good " + file);
    }
    m.files.setAttributes(std::string(kDriversDir) + "\\qtx0mdm.sys", 0x1 /* read-only */);
    if (xp) {
        const std::string name = seeded.publishedPackages[0];
        const std::string base = name.substr(0, name.find('.'));
        m.files.writeFile("C:\\WINDOWS\\LastGood\\INF\\" + name, "last good inf");
        m.files.writeFile("C:\\WINDOWS\\LastGood\\INF\\" + base + ".PNF", "last good pnf");
    }

    for (const std::string& package : kMetadataPackages)
        m.files.writeFile(std::string(kMetadataJaJp) + "\\" + package, "old " + package);

    m.registry.createKey(ProductKey(m));
    m.registry.setDword(ProductKey(m), "InstallFlag", 1);

    seeded.launcher = m.ui.addWindow("LauncherClass", "Launcher");
    m.ui.window(seeded.launcher)->addProperty("CDROMLauncher", nullptr);
    return seeded;
}

void ForeignLookAlikes::Seed(winsim::Machine& m) {
    const char kOtherClass[] = "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}";
    const std::string foreignInf = m.driverStore.seed(m.files, kInfDir, "other.inf",
                                                      ForeignInf("%Dev% = Other, USB\\VID_1A2B&PID_3C4E"));
    const std::string secondLine = m.driverStore.seed(
        m.files, kInfDir, "second.inf",
        ForeignInf("%Dev% = Other, USB\\VID_0000&PID_0001", "%Dev% = Other, USB\\VID_1A2B&PID_3C4D"));

    devices_ = {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00\\7&3A3B3C3D&0&0000", "USB\\VID_1A2B&PID_3C4E\\8&1&0&1"};
    m.devices.add({devices_[0], {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00"}, false, kOtherClass, "Other",
                   std::string(kOtherClass) + "\\0000", secondLine});
    m.devices.add({devices_[1], {"USB\\VID_1A2B&PID_3C4E"}, true, kOtherClass, "Other",
                   std::string(kOtherClass) + "\\0001", foreignInf});

    services_ = {"qtx0bus2"};
    m.services.add({"qtx0bus2", 1, 3, 1, "System32\\DRIVERS\\qtx0bus2.sys", true});

    const std::string pnf = [&] {
        std::string base = foreignInf.substr(0, foreignInf.find('.'));
        return std::string(kInfDir) + "\\" + base + ".PNF";
    }();
    for (const std::string& path :
         {std::string(kDriversDir) + "\\qtx0bus.sys.bak", std::string(kDriversDir) + "\\qtx0bus2.sys",
          std::string(kInfDir) + "\\" + foreignInf, pnf, std::string(kInfDir) + "\\" + secondLine,
          std::string("C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore\\en-US\\") + kMetadataPackages[0]}) {
        if (!m.files.exists(path)) m.files.writeFile(path, "foreign " + path);
        files_[path] = *m.files.read(path);
    }

    // Another product's flag beside the phone's key, in the same view.
    const std::string otherProduct = Software32(m, "VANTOR\\Other Product");
    m.registry.setDword(otherProduct, "InstallFlag", 1);
    registryValues_[otherProduct] = {"InstallFlag"};

    // A window whose property differs from the launcher's in case only. It
    // shares the launcher's atom (registered first), so it is told of the
    // change too: a message, not a change to anything it owns.
    otherCaseLauncher = m.ui.addWindow("OtherLauncher", "Other launcher");
    m.ui.window(otherCaseLauncher)->addProperty("cdromlauncher", nullptr);
}

void ForeignLookAlikes::ExpectUnchanged(winsim::Machine& m) const {
    for (const auto& file : files_) {
        const auto content = m.files.read(file.first);
        EXPECT_TRUE(content && *content == file.second) << "foreign file changed: " << file.first;
    }
    for (const std::string& device : devices_) EXPECT_TRUE(m.devices.exists(device)) << device;
    for (const std::string& service : services_) EXPECT_TRUE(m.services.exists(service)) << service;
    EXPECT_EQ(m.services.isRunning("qtx0bus2"), true);
    for (const auto& key : registryValues_)
        for (const std::string& name : key.second)
            EXPECT_EQ(m.registry.dword(key.first, name), std::optional<DWORD>(1)) << key.first << " : " << name;
}

}  // namespace seeded
